// update.exe end to end: the real program and Durnix.dll under Wine against the real
// update-server on a loopback address, driven from outside by ui_driver.exe, with a
// stand-in target program. Run from the Windows test run, which provides Wine, the
// display and these paths: UPDATE_EXE, DURNIX_DLL, UI_DRIVER, TARGET_EXE, WINE_RUN,
// PUBLISH, UPDATE_SERVER. String literals are UTF-8 here (ui_driver speaks UTF-8).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../portable/temp_dir.h"
#include "child_process.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Wine(const std::string& exe, std::vector<std::string> args) {
  std::vector<std::string> argv = {"/bin/bash", Env("WINE_RUN"), exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Each test gets a loopback address of its own, so the fixed port 6001 never clashes.
std::string NextAddress() {
  static int n = 20 + static_cast<int>(::getpid() % 100);
  return "127.0.0." + std::to_string(++n);
}

class UpdateE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v :
         {"UPDATE_EXE", "DURNIX_DLL", "UI_DRIVER", "TARGET_EXE", "WINE_RUN", "PUBLISH", "UPDATE_SERVER", "HOSTILE_PEER"}) {
      ASSERT_FALSE(Env(v).empty()) << v << " is not set: run this test through the Windows ctest";
      ASSERT_TRUE(fs::exists(Env(v))) << Env(v);
    }
    address = NextAddress();
    published = dir.path() / "published";
    fs::create_directories(published);
    MakeInstall();
  }
  // A fresh installation folder with the updater, its DLL, its ini and the target.
  void MakeInstall() {
    install = dir.path() / ("install" + std::to_string(++installs));
    fs::create_directories(install);
    fs::copy_file(Env("UPDATE_EXE"), install / "update.exe");
    fs::copy_file(Env("DURNIX_DLL"), install / "Durnix.dll");
    fs::copy_file(Env("TARGET_EXE"), install / "Halvo.exe");
    WriteFile(install / "update.ini", "[update]\r\nhost=" + address + "\r\nExeName=Halvo.exe\r\n");
    // The target program the updater starts records its start and ends at once.
    WriteFile(install / "Halvo.exe.exit", "");
  }
  void TearDown() override { StopServer(); }

  void Publish(int version) {
    ChildProcess p({Env("PUBLISH"), published.string(), "--version", std::to_string(version), "--force"});
    ASSERT_EQ(p.Wait(60000), 0);
  }
  void StartServer() {
    server = std::make_unique<ChildProcess>(std::vector<std::string>{
        Env("UPDATE_SERVER"), "--root", published.string(), "--listen", address, "--port", "6001"});
    std::string line;
    ASSERT_TRUE(server->ReadLine(line, 10000));
    ASSERT_NE(line.find("serving"), std::string::npos) << line;
  }
  // The misbehaving server of these tests in place of the real one: it serves the
  // published folder as it stands, and drips or cuts where `options` say.
  void StartHostileServer(std::vector<std::string> options) {
    std::vector<std::string> argv = {Env("HOSTILE_PEER"), "--root", published.string(), "--listen", address,
                                     "--port", "6001", "--linger", "600"};
    argv.insert(argv.end(), options.begin(), options.end());
    server = std::make_unique<ChildProcess>(argv);
    std::string line;
    ASSERT_TRUE(server->ReadLine(line, 10000));
    ASSERT_NE(line.find("listening on"), std::string::npos) << line;
  }
  void StopServer() {
    if (!server) return;
    server->Signal(SIGTERM);
    server->Wait(5000);
    server.reset();
  }
  void SetLocalVersion(int v) { WriteFile(install / "lastVer.txt", "[ver]\r\nlastVer=" + std::to_string(v) + "\r\n"); }
  int LocalVersion() {
    const std::string s = ReadFileBytes((install / "lastVer.txt").string());
    const size_t eq = s.find('=');
    return eq == std::string::npos ? 0 : std::atoi(s.c_str() + eq + 1);
  }
  std::unique_ptr<ChildProcess> StartUpdate() {
    return std::make_unique<ChildProcess>(Wine((install / "update.exe").string(), {}));
  }
  std::unique_ptr<ChildProcess> Driver(std::vector<std::string> args) {
    return std::make_unique<ChildProcess>(Wine(Env("UI_DRIVER"), std::move(args)));
  }
  // How a run is expected to end once its question has been answered.
  enum class Ending {
    kClean,            // the dialog closes by itself, no box
    kFailureBox,       // a box says the update failed; after it the dialog closes
    kFailureBoxStays,  // a box says so, and the dialog stays until it is left
  };
  struct Finished {
    int exit = -1;
    std::string box;   // the failure box, as the driver reports it
    std::string memo;  // Memo1 while the failure box was up
  };
  // Waits for `update` to end as `ending` says: reads the log while the failure box is
  // up, presses its OK, and leaves a dialog that stays with its cancel button.
  Finished FinishRun(ChildProcess& update, Ending ending, int boxTimeoutMs = 60000) {
    Finished f;
    if (ending != Ending::kClean) {
      auto wait = Driver({"wait", "--caption", "update", "--timeout", std::to_string(boxTimeoutMs)});
      EXPECT_EQ(wait->Wait(boxTimeoutMs + 20000), 0) << "no failure box";
      auto memo = Driver({"text", "--caption", u8"自动升级", "--name", "Memo1"});
      memo->Wait(20000);
      for (const auto& l : memo->Lines()) f.memo += l + "\n";
      auto ok = Driver({"answer", "--caption", "update", "--button", "ok"});
      std::string line;
      if (ok->WaitForLine("box ", line, 20000)) f.box = line;
      EXPECT_EQ(ok->Wait(20000), 0);
    }
    if (ending == Ending::kFailureBoxStays) {
      auto leave = Driver({"click", "--caption", u8"自动升级", "--name", "Btn_Cancel"});
      EXPECT_EQ(leave->Wait(20000), 0);
    }
    f.exit = update.Wait(120000);
    return f;
  }
  // Runs update.exe to its end, answering the question with `answer` (or expecting no
  // question when empty). `box` is then the driver's report of the question box.
  Finished RunUpdate(const std::string& answer, Ending ending = Ending::kClean, int questionTimeoutMs = 30000) {
    auto update = StartUpdate();
    auto driver = Driver({"answer", "--caption", u8"自动升级", "--button", answer.empty() ? "no" : answer,
                          "--timeout", std::to_string(questionTimeoutMs)});
    std::string line, question;
    if (driver->WaitForLine("box ", line, questionTimeoutMs + 10000)) question = line;
    driver->Wait(10000);
    Finished f = FinishRun(*update, ending);
    f.box = question + (f.box.empty() ? "" : "\n" + f.box);
    return f;
  }
  // Every file of the installation with its bytes, but the target's own log.
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(install)) {
      const std::string rel = fs::relative(e.path(), install).string();
      if (rel == "Halvo.exe.log") continue;
      files[rel] = e.is_regular_file() ? ReadFileBytes(e.path().string()) : "<folder>";
    }
    return files;
  }
  std::vector<std::string> TargetStarts() {
    std::vector<std::string> starts;
    std::ifstream in(install / "Halvo.exe.log");
    for (std::string l; std::getline(in, l);) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      if (l.rfind("start", 0) == 0) starts.push_back(l);
    }
    return starts;
  }
  // Waits a little for the started target to write its log line.
  std::vector<std::string> TargetStartsAfter(size_t atLeast) {
    for (int i = 0; i < 100; ++i) {
      auto s = TargetStarts();
      if (s.size() >= atLeast) return s;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return TargetStarts();
  }
  // Every published file is installed with the same bytes.
  void ExpectInstalledMatchesPublished() {
    for (const auto& e : fs::recursive_directory_iterator(published)) {
      if (!e.is_regular_file()) continue;
      const auto rel = fs::relative(e.path(), published);
      if (rel == "Versions.txt" || rel == "LastVer.txt") continue;
      EXPECT_EQ(ReadFileBytes((install / rel).string()), ReadFileBytes(e.path().string())) << rel;
    }
  }
  std::vector<std::string> TransfersLogged() {
    std::vector<std::string> out;
    std::string line;
    while (server && server->ReadLine(line, 200)) {
    }
    if (server) {
      for (const auto& l : server->Lines()) {
        if (l.find(" bytes ") != std::string::npos) out.push_back(l);
      }
    }
    return out;
  }

  TempDir dir;
  std::string address;
  fs::path published, install;
  std::unique_ptr<ChildProcess> server;
  int installs = 0;
};

}  // namespace

TEST_F(UpdateE2E, CompleteUpdate) {
  WriteFile(published / "Gyrelot.exe", RandomBytes(70000, 1));
  WriteFile(published / "GameSkin/Wheel/png/bg.png", RandomBytes(9000, 2));
  WriteFile(published / "GameSkin/Wheel/sound/spin.wav", RandomBytes(3000, 3));
  WriteFile(published / u8"资料/说明.txt", "新版本的说明");
  WriteFile(published / "empty.dat", "");
  WriteFile(published / "readonly.cfg", "new settings");
  WriteFile(published / "big.bin", RandomBytes(20u << 20, 4));
  Publish(2);
  StartServer();
  SetLocalVersion(1);
  // The installed copies: one read-only and out of date, one already current.
  WriteFile(install / "readonly.cfg", "old settings");
  fs::permissions(install / "readonly.cfg", fs::perms::owner_write, fs::perm_options::remove);
  WriteFile(install / "GameSkin/Wheel/png/bg.png", ReadFileBytes((published / "GameSkin/Wheel/png/bg.png").string()));

  // Two instances of the target program are running (and stay: no exit marker yet).
  fs::remove(install / "Halvo.exe.exit");
  auto first = std::make_unique<ChildProcess>(Wine((install / "Halvo.exe").string(), {}));
  auto second = std::make_unique<ChildProcess>(Wine((install / "Halvo.exe").string(), {}));
  ASSERT_EQ(TargetStartsAfter(2).size(), 2u);
  WriteFile(install / "Halvo.exe.exit", "");

  const auto t0 = std::chrono::steady_clock::now();
  const Finished run = RunUpdate("yes");
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_NE(run.box.find("系统发现新版本，确定马上进行升级吗？"), std::string::npos) << run.box;
  EXPECT_EQ(run.exit, 0);
  ExpectInstalledMatchesPublished();
  EXPECT_EQ(LocalVersion(), 2);
  EXPECT_FALSE(fs::exists(install / "temp.dat"));
  // Both instances were ended, and the target was started again in its folder.
  EXPECT_EQ(first->Wait(10000), 0);
  EXPECT_EQ(second->Wait(10000), 0);
  const auto starts = TargetStartsAfter(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_NE(starts[2].find("args=[run run]"), std::string::npos) << starts[2];
  EXPECT_NE(starts[2].find("install"), std::string::npos) << starts[2];
  // Only what differed was fetched: not bg.png.
  for (const auto& l : TransfersLogged()) EXPECT_EQ(l.find("bg.png"), std::string::npos) << l;
  std::printf("complete update of %s: %.1f s\n", "7 files (20 MiB)", took);
}

TEST_F(UpdateE2E, RunsThatEndWithoutAWindow) {
  WriteFile(published / "a.txt", "hello");
  Publish(3);
  StartServer();
  struct Case {
    const char* what;
    std::function<void()> setUp;
    std::string answer;  // "" when no question may appear
    bool traffic;
  } cases[] = {
      {"no ini", [&] { fs::remove(install / "update.ini"); }, "", false},
      {"empty host", [&] { WriteFile(install / "update.ini", "[update]\r\nhost=\r\n"); }, "", false},
      {"same version", [&] { SetLocalVersion(3); }, "", true},
      {"answer no", [&] { SetLocalVersion(1); }, "no", true},
  };
  for (const auto& c : cases) {
    MakeInstall();  // a fresh installation each time (same published folder and server)
    c.setUp();
    const size_t before = TransfersLogged().size();
    const Finished run = RunUpdate(c.answer, Ending::kClean, c.answer.empty() ? 8000 : 30000);
    if (c.answer.empty()) {
      EXPECT_TRUE(run.box.empty()) << c.what << ": " << run.box;
    } else {
      EXPECT_FALSE(run.box.empty()) << c.what;
    }
    EXPECT_EQ(run.exit, 0) << c.what;
    EXPECT_FALSE(fs::exists(install / "a.txt")) << c.what;
    EXPECT_TRUE(TargetStarts().empty()) << c.what << ": the target was started";
    EXPECT_FALSE(fs::exists(install / "temp.dat")) << c.what;
    EXPECT_EQ(TransfersLogged().size() > before, c.traffic) << c.what;
  }
}


// A run that is stopped, or whose server goes away, leaves the installation exactly as
// it was and says how it ended; the next run completes the update.
TEST_F(UpdateE2E, InterruptedRunsLoseNothingAndTheNextRunCompletes) {
  const std::string oldBig = RandomBytes(20u << 20, 5);
  WriteFile(published / "small.txt", "new small");
  WriteFile(published / "big.bin", RandomBytes(20u << 20, 6));
  Publish(5);
  StartServer();
  struct Case {
    const char* what;
    std::function<void()> interrupt;  // called once big.bin is downloading
    Ending ending;
    int exit;
    const char* logged;  // in Memo1 when a failure box shows
  } cases[] = {
      {"cancel during a download",
       [&] {
         auto click = Driver({"click", "--caption", u8"自动升级", "--name", "Btn_Cancel"});
         EXPECT_EQ(click->Wait(20000), 0);
       },
       Ending::kClean, 2, ""},
      {"server killed during a download",
       [&] {
         server->Signal(SIGKILL);
         server->Wait(5000);
         server.reset();
       },
       Ending::kFailureBox, 1, u8"下载失败："},
  };
  for (const auto& c : cases) {
    MakeInstall();
    SetLocalVersion(4);
    WriteFile(install / "small.txt", "old small");
    WriteFile(install / "big.bin", oldBig);
    const auto before = Snapshot();
    if (!server) StartServer();
    auto update = StartUpdate();
    auto answer = Driver({"answer", "--caption", u8"自动升级", "--button", "yes"});
    auto watch = Driver({"wait-text", "--caption", u8"自动升级", "--name", "L_FileName", "--contains", "big.bin"});
    ASSERT_EQ(watch->Wait(60000), 0) << c.what;
    c.interrupt();
    const Finished run = FinishRun(*update, c.ending);
    EXPECT_EQ(run.exit, c.exit) << c.what;
    EXPECT_NE(run.memo.find(c.logged), std::string::npos) << c.what << ": " << run.memo;
    if (c.ending != Ending::kClean) {
      EXPECT_NE(run.box.find(u8"升级没有完成"), std::string::npos) << c.what << ": " << run.box;
    }
    // Nothing installed changed: the small file that was fetched first is still old.
    EXPECT_EQ(Snapshot(), before) << c.what;
    EXPECT_EQ(TargetStartsAfter(1).size(), 1u) << c.what << ": the target is started after a failed run";
    // The next run completes the update.
    if (!server) StartServer();
    EXPECT_EQ(RunUpdate("yes").exit, 0) << c.what;
    ExpectInstalledMatchesPublished();
    EXPECT_EQ(LocalVersion(), 5) << c.what;
  }
}

TEST_F(UpdateE2E, FileThatDoesNotMatchItsDigestIsNotInstalled) {
  WriteFile(published / "a.txt", "published text");
  WriteFile(published / "b.txt", "published b");
  Publish(2);
  WriteFile(published / "b.txt", "changed after publishing");
  StartServer();
  SetLocalVersion(1);
  WriteFile(install / "a.txt", "old text");
  const auto before = Snapshot();
  const Finished run = RunUpdate("yes", Ending::kFailureBox);
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.memo.find(u8"文件校验失败：b.txt"), std::string::npos) << run.memo;
  EXPECT_EQ(Snapshot(), before) << "a.txt was good, but alone it is no update";
  EXPECT_EQ(LocalVersion(), 1);
  EXPECT_EQ(TargetStartsAfter(1).size(), 1u);
}

// What the server sends as its manifest but is none, or names what no update may
// touch, is refused before anything changes; the dialog stays with its log.
TEST_F(UpdateE2E, WhatIsNoManifestChangesNothingAndSaysSo) {
  const std::string sep = "\x15";
  const std::string header = "fPath" + sep + "fFileName" + sep + "fmd5\r\n";
  const std::string md5 = "0123456789abcdef0123456789abcdef";
  const std::string goodRow = sep + "good.txt" + sep + md5 + "\r\n";
  struct Case {
    const char* what;
    std::string manifest;
    bool versionInstalled;
  } cases[] = {
      {"an HTML error page",
       "<html><head><title>404 Not Found</title></head>\r\n<body><h1>Not Found</h1></body></html>\r\n", true},
      {"no header line", goodRow + sep + "other.txt" + sep + md5 + "\r\n", true},
      {"a row naming temp.dat", header + goodRow + sep + "temp.dat" + sep + md5 + "\r\n", true},
      {"a folder row lastver.txt in a fresh installation", header + goodRow + sep + "lastver.txt\r\n", false},
      {"a name leaving the folder", header + goodRow + sep + "..\\outside.txt" + sep + md5 + "\r\n", true},
      {"an absolute name", header + goodRow + sep + "C:\\abs.txt" + sep + md5 + "\r\n", true},
  };
  WriteFile(published / "good.txt", "good");
  WriteFile(published / "LastVer.txt", "[ver]\r\nLastVer=2\r\n");
  StartHostileServer({});
  for (const auto& c : cases) {
    WriteFile(published / "Versions.txt", c.manifest);
    MakeInstall();
    if (c.versionInstalled) SetLocalVersion(1);
    WriteFile(install / "good.txt", "old");
    const auto before = Snapshot();
    const Finished run = RunUpdate("yes", Ending::kFailureBoxStays);
    EXPECT_EQ(run.exit, 1) << c.what;
    EXPECT_NE(run.memo.find(u8"版本信息为空或无法读取.."), std::string::npos) << c.what << ": " << run.memo;
    EXPECT_NE(run.box.find(u8"版本信息为空或无法读取.."), std::string::npos) << c.what << ": " << run.box;
    EXPECT_EQ(Snapshot(), before) << c.what;
    EXPECT_FALSE(fs::exists(dir.path() / "outside.txt")) << c.what;
    EXPECT_EQ(TargetStartsAfter(1).size(), 1u) << c.what;
  }
}

// The connection breaks in the middle of the 2nd or the 3rd of three changed files:
// none of them is replaced, the version stays, the log names the file and the cause.
TEST_F(UpdateE2E, ACutInTheMiddleOfAnyFileLeavesAllOld) {
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
    WriteFile(published / name, RandomBytes(300000, static_cast<unsigned>(name[0])));
  }
  Publish(7);
  struct Case {
    const char* cut;
    const char* file;
  } cases[] = {{"2", "b.bin"}, {"3", "c.bin"}};
  for (const auto& c : cases) {
    StopServer();
    StartHostileServer({"--cut", c.cut, "--cut-after", "40"});
    MakeInstall();
    SetLocalVersion(6);
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) WriteFile(install / name, std::string("old ") + name);
    const auto before = Snapshot();
    const Finished run = RunUpdate("yes", Ending::kFailureBox);
    EXPECT_EQ(run.exit, 1) << c.file;
    EXPECT_NE(run.memo.find(std::string(u8"下载失败：") + c.file + u8"（连接中断）"), std::string::npos)
        << c.file << ": " << run.memo;
    EXPECT_NE(run.box.find(u8"升级没有完成，已经保持原来的版本"), std::string::npos) << run.box;
    EXPECT_EQ(Snapshot(), before) << c.file;
    EXPECT_EQ(TargetStartsAfter(1).size(), 1u) << c.file;
    // The peer cuts once: the next run completes.
    EXPECT_EQ(RunUpdate("yes").exit, 0) << c.file;
    ExpectInstalledMatchesPublished();
    EXPECT_EQ(LocalVersion(), 7) << c.file;
  }
}

// Before its window update.exe has nothing to cancel with: a version file that is too
// big, or that comes too slowly, ends the check, with no window and the version kept.
TEST_F(UpdateE2E, TheVersionCheckIsBoundedBeforeTheWindow) {
  WriteFile(published / "LastVer.txt", "[ver]\r\nLastVer=9\r\n");
  struct Case {
    const char* what;
    const char* size;
    const char* everyMs;
  } cases[] = {
      {"announced as 100000 bytes", "100000", "300"},
      {"3000 bytes, one a second", "3000", "1000"},
  };
  for (const auto& c : cases) {
    StopServer();
    StartHostileServer({"--drip", "LastVer.txt", "--drip-size", c.size, "--drip-every", c.everyMs});
    MakeInstall();
    SetLocalVersion(8);
    const auto before = Snapshot();
    const auto t0 = std::chrono::steady_clock::now();
    auto update = StartUpdate();
    // A question box would hold the process until the time-out: -1.
    EXPECT_EQ(update->Wait(120000), 1) << c.what;
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("version check %s: ended after %.1f s\n", c.what, took);
    EXPECT_EQ(Snapshot(), before) << c.what;
    EXPECT_TRUE(TargetStarts().empty()) << c.what;
  }
}
