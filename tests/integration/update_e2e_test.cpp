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
    for (const char* v : {"UPDATE_EXE", "DURNIX_DLL", "UI_DRIVER", "TARGET_EXE", "WINE_RUN", "PUBLISH", "UPDATE_SERVER"}) {
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
  void TearDown() override {
    if (server) {
      server->Signal(SIGTERM);
      server->Wait(5000);
    }
  }

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
  // Runs update.exe to its end, answering the question with `answer` (or expecting
  // no question when empty). Returns the driver's report of the question box.
  std::string RunUpdate(const std::string& answer, int questionTimeoutMs = 30000) {
    auto update = StartUpdate();
    auto driver = Driver({"answer", "--caption", "自动升级", "--button", answer.empty() ? "no" : answer,
                          "--timeout", std::to_string(questionTimeoutMs)});
    std::string line, box;
    if (driver->WaitForLine("box ", line, questionTimeoutMs + 10000)) box = line;
    driver->Wait(10000);
    EXPECT_EQ(update->Wait(180000), 0);
    return box;
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
  const std::string box = RunUpdate("yes");
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_NE(box.find("系统发现新版本，确定马上进行升级吗？"), std::string::npos) << box;
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
    const std::string box = RunUpdate(c.answer, c.answer.empty() ? 8000 : 30000);
    if (c.answer.empty()) {
      EXPECT_TRUE(box.empty()) << c.what << ": " << box;
    } else {
      EXPECT_FALSE(box.empty()) << c.what;
    }
    EXPECT_FALSE(fs::exists(install / "a.txt")) << c.what;
    EXPECT_TRUE(TargetStarts().empty()) << c.what << ": the target was started";
    EXPECT_FALSE(fs::exists(install / "temp.dat")) << c.what;
    EXPECT_EQ(TransfersLogged().size() > before, c.traffic) << c.what;
  }
}

TEST_F(UpdateE2E, InterruptedRunsLoseNothingAndTheNextRunCompletes) {
  const std::string oldBig = RandomBytes(20u << 20, 5);
  WriteFile(published / "small.txt", "new small");
  WriteFile(published / "big.bin", RandomBytes(20u << 20, 6));
  Publish(5);
  StartServer();
  struct Case {
    const char* what;
    std::function<void(ChildProcess& update)> interrupt;  // called once big.bin is downloading
  } cases[] = {
      {"cancel during a download",
       [&](ChildProcess&) {
         auto click = Driver({"click", "--caption", "自动升级", "--name", "Btn_Cancel"});
         EXPECT_EQ(click->Wait(20000), 0);
       }},
      {"server killed during a download",
       [&](ChildProcess&) {
         server->Signal(SIGKILL);
         server->Wait(5000);
         server.reset();
       }},
  };
  for (const auto& c : cases) {
    MakeInstall();
    SetLocalVersion(4);
    WriteFile(install / "small.txt", "old small");
    WriteFile(install / "big.bin", oldBig);
    if (!server) StartServer();
    auto update = StartUpdate();
    auto answer = Driver({"answer", "--caption", "自动升级", "--button", "yes"});
    auto watch = Driver({"wait-text", "--caption", "自动升级", "--name", "L_FileName", "--contains", "big.bin"});
    ASSERT_EQ(watch->Wait(60000), 0) << c.what;
    c.interrupt(*update);
    EXPECT_EQ(update->Wait(60000), 0) << c.what;
    // Nothing installed is missing or corrupted: each file is old or new, whole.
    const std::string big = ReadFileBytes((install / "big.bin").string());
    EXPECT_TRUE(big == oldBig || big == ReadFileBytes((published / "big.bin").string())) << c.what;
    EXPECT_EQ(LocalVersion(), 4) << c.what;
    EXPECT_FALSE(fs::exists(install / "temp.dat")) << c.what;
    EXPECT_EQ(TargetStartsAfter(1).size(), 1u) << c.what << ": the target is started after a failed run";
    // The next run completes the update.
    if (!server) StartServer();
    RunUpdate("yes");
    ExpectInstalledMatchesPublished();
    EXPECT_EQ(LocalVersion(), 5) << c.what;
  }
}

TEST_F(UpdateE2E, FileThatDoesNotMatchItsDigestIsNotInstalled) {
  WriteFile(published / "a.txt", "published text");
  Publish(2);
  WriteFile(published / "a.txt", "changed after publishing");
  StartServer();
  SetLocalVersion(1);
  WriteFile(install / "a.txt", "old text");
  RunUpdate("yes");
  EXPECT_EQ(ReadFileBytes((install / "a.txt").string()), "old text");
  EXPECT_EQ(LocalVersion(), 1);
  EXPECT_FALSE(fs::exists(install / "temp.dat"));
  EXPECT_EQ(TargetStartsAfter(1).size(), 1u);
}

TEST_F(UpdateE2E, ManifestNamesOutsideTheFolderAreRefused) {
  const char sep = '\x15';
  for (const std::string& bad : {std::string("..\\outside.txt"), std::string("C:\\abs.txt")}) {
    MakeInstall();
    WriteFile(published / "good.txt", "good");
    WriteFile(published / "LastVer.txt", "[ver]\r\nLastVer=2\r\n");
    WriteFile(published / "Versions.txt", std::string("fPath") + sep + "fFileName" + sep + "fmd5\r\n" + sep +
                                              "good.txt" + sep + "0123456789abcdef0123456789abcdef\r\n" + sep + bad +
                                              sep + "0123456789abcdef0123456789abcdef\r\n");
    if (!server) StartServer();
    SetLocalVersion(1);
    RunUpdate("yes");
    EXPECT_FALSE(fs::exists(dir.path() / "outside.txt")) << bad;
    EXPECT_FALSE(fs::exists(install / "good.txt")) << bad << ": nothing is touched";
    EXPECT_EQ(LocalVersion(), 1) << bad;
    EXPECT_FALSE(fs::exists(install / "temp.dat")) << bad;
    server->Signal(SIGTERM);
    server->Wait(5000);
    server.reset();
  }
}
