// The update run without a window: TUpdateRun with the real download client, over an
// in-process transport that a scripted file server answers, on installations made in
// temporary folders, reporting to a sink that records everything it is told. This
// program also runs as its own helper: started with
//   --run-and-die <installation folder as hex GBK bytes>
// it runs the standard update there and kills itself right after the 2nd of the three
// changed files was put in place, as a crash or a power cut would end the updater.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "box_closer.h"
#include "fake_iocp_client.h"
#include "install_test_files.h"
#include "temp_dir.h"
#include "text/profile.h"
#include "uFileDigest.h"
#include "uFileDownloadClient.h"
#include "uUpdateRun.h"
#include "uVersionFile.h"
#include "win/gbk_text.h"
#include "win/handle.h"
#include "win/message_pump.h"

namespace {

using Check = TUpdateRun::Check;
using Outcome = TUpdateRun::Outcome;
using namespace installtest;

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Everything an installation holds, one line per entry in name order: folders, and
// files with their size, digest and read-only flag. "temp.dat" at the top is left
// out: the run keeps the downloaded version file there, and the dialog removes it
// when it closes.
void Walk(const std::wstring& folder, const std::string& relative, std::map<std::string, std::string>* out) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string rel = relative + gbk::FromWide(name);
    if (relative.empty() && profile::EqualNoCase(rel, "temp.dat")) continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*out)[rel] = "folder";
      Walk(path, rel + "\\", out);
    } else {
      const std::string bytes = ReadBytes(gbk::FromWide(path)).value_or("<unreadable>");
      (*out)[rel] = std::to_string(bytes.size()) + " " + Md5OfBytes(bytes.data(), bytes.size()) +
                    ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? " read-only" : "");
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

std::string Snapshot(const std::string& dir) {
  std::map<std::string, std::string> entries;
  std::wstring folder = W(dir);
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  Walk(folder, "", &entries);
  std::string text;
  for (const auto& [name, what] : entries) text += name + ": " + what + "\n";
  return text;
}

// ---------------------------------------------------------------------------------
// The published set: version 41 to 42. Two changed files that exist (one read-only,
// with a Chinese name; one in a sub-folder), a new file in two new folders, and
// "Gyrelot.exe", listed but unchanged.

constexpr char kSep = '\x15';
const std::string kHeader = std::string("fPath") + kSep + "fFileName" + kSep + "fmd5\r\n";

std::string FileRow(const std::string& folder, const std::string& name, const std::string& md5) {
  return folder + kSep + name + kSep + md5 + "\r\n";
}
std::string FolderRow(const std::string& parent, const std::string& name) {
  return parent + kSep + name + "\r\n";
}

// The manifest's digest rule, applied to the test's own bytes: the whole file up to
// 4048 bytes, else bytes 4048 to the end.
std::string PublishedDigest(const std::string& bytes) {
  const size_t skip = bytes.size() > 4048 ? 4048 : 0;
  return Md5OfBytes(bytes.data() + skip, bytes.size() - skip);
}

struct ChangedFile {
  const char* folder;  // the manifest's fPath
  const char* path;
  const char* shown;
  bool existsBefore;
};
const ChangedFile kChanged[] = {
    {"", "说明.txt", "说明.txt", true},
    {"GameSkin\\", "GameSkin\\pack.bin", "pack.bin", true},
    {"皮肤新\\子\\", "皮肤新\\子\\新图.png", "新图.png", false},
};
constexpr int kChangedCount = 3;
constexpr int32_t kNewVersion = 42;
const std::string kOldVersionFile = "[ver]\r\nLastVer=41\r\n[host]\r\nip=127.0.0.1\r\n";
const std::string kServerVersionFile = "[ver]\r\nLastVer=42\r\n";
const std::string kGame = "the game itself";
const std::string kNotComplete = "升级没有完成，已经保持原来的版本。下次启动时会再次尝试升级。";
const std::string kNoManifest = "版本信息为空或无法读取..";

// Contents with the bytes a text-mode slip would change.
std::string OldBytes(int i) {
  return std::string("old\0\r\n\x1a", 7) + kChanged[i].path;
}
// Above the digest rule's 4048 bytes, several blocks of 880 bytes each; the third
// far more than the ten blocks the client asks for at once, so that a transfer can
// break in its middle.
std::string NewBytes(int i) {
  static const size_t kSizes[kChangedCount] = {5000, 9000, 40000};
  std::string bytes(kSizes[i], '\0');
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 131 + 7 * i + 1);
  return bytes + kChanged[i].path;
}

// The manifest's rows for the standard set; `extra` rows come last.
std::string StandardManifest(const std::string& extra = "") {
  return kHeader + FileRow("", "Gyrelot.exe", PublishedDigest(kGame)) +
         FileRow(kChanged[0].folder, kChanged[0].path, PublishedDigest(NewBytes(0))) +
         FolderRow("", "GameSkin") +
         FileRow(kChanged[1].folder, kChanged[1].path, PublishedDigest(NewBytes(1))) +
         FolderRow("", "皮肤新") + FolderRow("皮肤新\\", "皮肤新\\子") +
         FileRow(kChanged[2].folder, kChanged[2].path, PublishedDigest(NewBytes(2))) + extra;
}

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// What the server publishes: the standard files, `manifest` as "Versions.txt".
void Publish(ScriptedFileServer& server, const std::string& manifest) {
  server.files["LastVer.txt"] = ToBytes(kServerVersionFile);
  server.files["Versions.txt"] = ToBytes(manifest);
  server.files["Gyrelot.exe"] = ToBytes(kGame);
  for (int i = 0; i < kChangedCount; ++i) server.files[kChanged[i].path] = ToBytes(NewBytes(i));
}

class Installation {
 public:
  // In a folder whose name ends in a character whose second GBK byte is a backslash.
  Installation() : dir_(gbk::FromWide(tmp_.path().wstring()) + "\\游戏乗\\") { MakeFolder(dir_); }
  ~Installation() { ClearReadOnly(tmp_.path().wstring()); }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& relative) const { return dir_ + relative; }
  std::string Staging() const { return dir_ + "update.staging"; }

  void MakeOld(bool withVersionFile = true) {
    MakeFolder(Path("GameSkin"));
    ASSERT_TRUE(WriteBytes(Path("Gyrelot.exe"), kGame));
    for (int i = 0; i < kChangedCount; ++i) {
      if (kChanged[i].existsBefore) {
        ASSERT_TRUE(WriteBytes(Path(kChanged[i].path), OldBytes(i)));
      }
    }
    ASSERT_TRUE(SetFileAttributesW(W(Path("说明.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
    if (withVersionFile) {
      ASSERT_TRUE(WriteBytes(Path("LastVer.txt"), kOldVersionFile));
    }
  }

  void ExpectAllNew(const std::string& context) const {
    for (int i = 0; i < kChangedCount; ++i) {
      EXPECT_EQ(ReadBytes(Path(kChanged[i].path)), NewBytes(i)) << context << ": " << i;
    }
    EXPECT_EQ(ReadBytes(Path("Gyrelot.exe")), kGame) << context;
    EXPECT_EQ(version::ReadVersionFile(Path("lastVer.txt")), kNewVersion) << context;
    EXPECT_FALSE(IsFolder(Staging())) << context;
  }

 private:
  TempDir tmp_;
  std::string dir_;
};

// ---------------------------------------------------------------------------------
// The sink and the session.

class RecordingSink final : public IUpdateRunSink {
 public:
  // Where the user stops the run (kNowhere: never).
  enum class StopAt {
    kNowhere,
    kAnalysisKeepGoing,  // the n-th time the analysis asks KeepGoing
    kDownloadProgress,   // the first progress message of the n-th download
    kBeforeDownload,     // when KeepGoing is asked before the n-th download
  };
  StopAt stopAt = StopAt::kNowhere;
  int stopN = 0;
  // How: the dialog's stop button tells the run and the client (`stopButton`); a
  // window that is gone only answers false from then on.
  bool windowGone = false;
  std::function<void()> stopButton;
  std::function<void(int done, int total)> onInstalled;

  std::vector<std::string> logs;
  std::vector<std::string> statuses;
  std::vector<std::string> shown;  // "name n/count"
  std::vector<std::string> tells;
  std::vector<std::string> installed;  // "done/total"
  int keepGoingCalls = 0;
  int analysisKeepGoingCalls = 0;  // those between the analysis' first and last log line

  void Log(const std::string& line) override {
    logs.push_back(line);
    if (line == ">>启动待升级文件分析") inAnalysis_ = true;
    if (StartsWith(line, ">>分析成功")) inAnalysis_ = false;
  }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowFile(const std::string& name, int number, int count) override {
    shown.push_back(name + " " + std::to_string(number) + "/" + std::to_string(count));
    currentFile_ = number;
  }
  bool KeepGoing() override {
    ++keepGoingCalls;
    if (inAnalysis_) ++analysisKeepGoingCalls;
    winapp::ServePendingMessages();
    if ((stopAt == StopAt::kAnalysisKeepGoing && inAnalysis_ && analysisKeepGoingCalls == stopN) ||
        (stopAt == StopAt::kBeforeDownload && !inAnalysis_ && currentFile_ == stopN - 1 &&
         std::find(logs.begin(), logs.end(), ">>启动待升级文件分析") != logs.end())) {
      Stop();
    }
    return !stopped_;
  }
  void Tell(const std::string& text) override { tells.push_back(text); }
  void Installed(int done, int total) override {
    installed.push_back(std::to_string(done) + "/" + std::to_string(total));
    if (onInstalled) onInstalled(done, total);
  }

  // The client's progress handler: a window message served during a download.
  void Progress(int32_t, int32_t) {
    if (stopAt == StopAt::kDownloadProgress && currentFile_ == stopN) Stop();
  }

  bool Stopped() const { return stopped_; }

 private:
  void Stop() {
    if (stopped_) return;
    stopped_ = true;
    if (!windowGone && stopButton) stopButton();
  }

  bool inAnalysis_ = false;
  int currentFile_ = 0;
  bool stopped_ = false;
};

FakeIOCP* nextFake = nullptr;
HRESULT __stdcall FakeFactory(IIOCPClient** out) {
  *out = nextFake;
  return S_OK;
}

// One update.exe's worth: the transport, the server behind it, the real client, the
// run and its sink.
class Session {
 public:
  explicit Session(const std::string& appDir) : fake_(new FakeIOCP) {
    nextFake = fake_;
    server.Attach(fake_);
    client = new TFileDownLoadClient(&FakeFactory);
    client->SetServer("127.0.0.1", 6001);
    client->SetOnProgress(EventThunk<&RecordingSink::Progress>::Bind(&sink));
    run = std::make_unique<TUpdateRun>(*client, sink, appDir);
    sink.stopButton = [this] {
      run->Cancel();
      client->Stop();
    };
  }
  ~Session() {
    run.reset();
    client->Release();
    fake_->Shutdown();
    delete fake_;
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  FakeIOCP& Fake() { return *fake_; }

  // The files asked for, in order.
  std::vector<std::string> Requests() {
    std::vector<std::string> paths;
    for (const Bytes& m : fake_->Sent()) {
      std::string path;
      if (filetrans::DecodeFileRequest(m.data(), m.size(), path)) paths.push_back(path);
    }
    return paths;
  }
  // The client's messages as short words: "FR:name", "BR", "TD", "CT".
  std::vector<std::string> Messages() { return Describe(fake_->Sent()); }

  // As the dialog does it: the check, and the run when the server has a newer version.
  Outcome CheckAndRun() {
    const Check check = run->CheckForNewVersion();
    EXPECT_EQ(check, Check::kNewer);
    if (check != Check::kNewer) return Outcome::kFailed;
    return run->Run();
  }

 private:
  FakeIOCP* fake_;

 public:
  ScriptedFileServer server;
  TFileDownLoadClient* client = nullptr;
  RecordingSink sink;
  std::unique_ptr<TUpdateRun> run;
};

double SecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

const std::vector<std::string> kStandardRequests = {"LastVer.txt", "Versions.txt", kChanged[0].path,
                                                    kChanged[1].path, kChanged[2].path};

// ---------------------------------------------------------------------------------
// The helper process.

constexpr UINT kKilledCode = 9;

int RunAndDie(const std::string& dir) {
  Session s(dir);
  Publish(s.server, StandardManifest());
  s.sink.onInstalled = [](int done, int) {
    if (done == 2) TerminateProcess(GetCurrentProcess(), kKilledCode);
  };
  if (s.run->CheckForNewVersion() != Check::kNewer) return 3;
  return s.run->Run() == Outcome::kComplete ? 0 : 1;
}

// Runs the helper on `dir`; its exit code.
DWORD RunHelper(const std::string& dir) {
  return RunSelf(L"--run-and-die " + Hex(dir));
}

}  // namespace

// ---------------------------------------------------------------------------------

TEST(UpdateRun, ACompleteRunPutsEveryFileInPlaceAndRecordsTheVersion) {
  Installation inst;
  inst.MakeOld();
  Session s(inst.Dir());
  Publish(s.server, StandardManifest());

  ASSERT_EQ(s.run->CheckForNewVersion(), Check::kNewer);
  EXPECT_EQ(s.run->RemoteVersion(), kNewVersion);
  EXPECT_EQ(s.run->Run(), Outcome::kComplete);

  inst.ExpectAllNew("complete");
  EXPECT_TRUE(IsFolder(inst.Path("皮肤新\\子")));
  EXPECT_EQ(s.sink.logs, (std::vector<std::string>{
                             "下载版本信息成功",
                             ">>启动待升级文件分析",
                             ">>分析成功，有3个文件需要更新",
                             ">>下载文件：说明.txt",
                             ">>下载文件：pack.bin",
                             ">>下载文件：新图.png",
                             ">>创建目录 皮肤新",
                             ">>创建目录 皮肤新\\子",
                             ">>>>升级完成",
                         }));
  EXPECT_EQ(s.sink.shown, (std::vector<std::string>{"说明.txt 1/3", "pack.bin 2/3", "新图.png 3/3"}));
  EXPECT_EQ(s.sink.installed, (std::vector<std::string>{"1/3", "2/3", "3/3"}));
  EXPECT_EQ(s.sink.statuses, std::vector<std::string>{"正在获得版本信息.."});
  EXPECT_TRUE(s.sink.tells.empty());
  // The unchanged file is not fetched; the version file's 4 KiB limit does not
  // outlive the check (every changed file is larger).
  EXPECT_EQ(s.Requests(), kStandardRequests);

  // Read as the game reads it, under both spellings of the key; the rest stays.
  EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"LastVer"), L"42");
  EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"lastVer"), L"42");
  EXPECT_EQ(profile::FindProfileValue(ReadBytes(inst.Path("lastVer.txt")).value_or(""), "host", "ip"),
            "127.0.0.1");
  EXPECT_FALSE(IsFile(inst.Path("temp.dat")));
  EXPECT_FALSE(IsFolder(inst.Staging()));
  EXPECT_FALSE(IsFile(inst.Path("lastver.txt.tmp")));
}

TEST(UpdateRun, NothingToDoStillRecordsTheVersion) {
  Installation inst;
  inst.MakeOld();
  MakeFolder(inst.Path("皮肤新"));
  MakeFolder(inst.Path("皮肤新\\子"));
  ASSERT_TRUE(SetFileAttributesW(W(inst.Path("说明.txt")).c_str(), FILE_ATTRIBUTE_NORMAL));
  for (int i = 0; i < kChangedCount; ++i) ASSERT_TRUE(WriteBytes(inst.Path(kChanged[i].path), NewBytes(i)));
  Session s(inst.Dir());
  Publish(s.server, StandardManifest());

  EXPECT_EQ(s.CheckAndRun(), Outcome::kComplete);
  EXPECT_EQ(s.sink.logs, (std::vector<std::string>{"下载版本信息成功", ">>启动待升级文件分析",
                                                   ">>分析成功，有0个文件需要更新", ">>>>升级完成"}));
  EXPECT_TRUE(s.sink.shown.empty());
  EXPECT_EQ(s.Requests(), (std::vector<std::string>{"LastVer.txt", "Versions.txt"}));
  inst.ExpectAllNew("nothing to do");
  EXPECT_FALSE(IsFile(inst.Path("temp.dat")));
}

// What is no manifest, or one that would touch the updater's own files, is refused
// whole: not a file fetched, not a folder made, the version kept.
TEST(UpdateRun, WhatIsNoManifestIsRefusedAndNothingIsTouched) {
  const std::string md5 = PublishedDigest("x");
  const std::string noHeaderFileFirst = FileRow("", "说明.txt", PublishedDigest(NewBytes(0))) +
                                        FileRow("", "Gyrelot.exe", PublishedDigest(kGame)) +
                                        FolderRow("", "皮肤新");
  const std::string noHeaderFolderFirst = FolderRow("", "皮肤新") +
                                          FileRow("", "说明.txt", PublishedDigest(NewBytes(0))) +
                                          FolderRow("皮肤新\\", "皮肤新\\子");
  struct Case {
    const char* what;
    std::string manifest;
    bool withVersionFile;
  } cases[] = {
      {"an HTML error page",
       "<html><head><title>404 Not Found</title></head>\r\n<body><h1>Not Found</h1></body></html>\r\n", true},
      {"an empty answer", "", true},
      {"no header, a top-level file row first", noHeaderFileFirst, true},
      {"no header, a folder row first", noHeaderFolderFirst, true},
      {"a row naming temp.dat", StandardManifest(FileRow("", "temp.dat", md5)), true},
      {"a row naming TEMP.DAT", StandardManifest(FileRow("", "TEMP.DAT", md5)), true},
      {"a folder row naming Temp.Dat", StandardManifest(FolderRow("", "Temp.Dat")), true},
      {"a row naming update.exe", StandardManifest(FileRow("", "update.exe", md5)), true},
      {"a row naming Update.INI", StandardManifest(FileRow("", "Update.INI", md5)), true},
      {"a row naming LASTVER.TXT", StandardManifest(FileRow("", "LASTVER.TXT", md5)), true},
      {"a folder row naming lastVer.txt, none installed", StandardManifest(FolderRow("", "lastVer.txt")),
       false},
      {"a folder row naming update.staging", StandardManifest(FolderRow("", "update.staging")), true},
      {"a row naming Update.Staging", StandardManifest(FileRow("", "Update.Staging", md5)), true},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld(c.withVersionFile);
    const std::string before = Snapshot(inst.Dir());
    Session s(inst.Dir());
    Publish(s.server, c.manifest);

    EXPECT_EQ(s.CheckAndRun(), Outcome::kNoManifest) << c.what;
    ASSERT_EQ(s.sink.logs.size(), 1u) << c.what;
    EXPECT_TRUE(StartsWith(s.sink.logs[0], kNoManifest + "（") && EndsWith(s.sink.logs[0], "）"))
        << c.what << ": " << s.sink.logs[0];
    EXPECT_EQ(s.sink.tells, std::vector<std::string>{kNoManifest}) << c.what;
    EXPECT_EQ(s.Requests(), (std::vector<std::string>{"LastVer.txt", "Versions.txt"})) << c.what;
    EXPECT_EQ(Snapshot(inst.Dir()), before) << c.what;
    EXPECT_FALSE(IsFolder(inst.Staging())) << c.what;
    EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), c.withVersionFile ? 41 : 0) << c.what;
  }
}

// Every file is in place when the version cannot be written: they all go back.
TEST(UpdateRun, AVersionThatCannotBeWrittenLeavesTheOldInstallation) {
  struct Case {
    const char* what;
    DWORD share;
    const char* why;  // part of the reason logged
  } cases[] = {
      {"held open by a program that shares nothing", 0, "无法读取"},
      {"held open by a program that lets others read", FILE_SHARE_READ, "目标文件被占用"},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    const std::string before = Snapshot(inst.Dir());
    Session s(inst.Dir());
    Publish(s.server, StandardManifest());
    winapp::UniqueHandle holder;
    s.sink.onInstalled = [&](int done, int total) {
      if (done == total) {
        holder.Reset(CreateFileW(W(inst.Path("lastVer.txt")).c_str(), GENERIC_READ, c.share, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      }
    };

    EXPECT_EQ(s.CheckAndRun(), Outcome::kFailed) << c.what;
    EXPECT_TRUE(holder) << c.what << ": the version file was held open";
    holder.Reset();
    EXPECT_EQ(s.sink.installed, (std::vector<std::string>{"1/3", "2/3", "3/3"})) << c.what;
    ASSERT_FALSE(s.sink.logs.empty());
    const std::string& last = s.sink.logs.back();
    EXPECT_TRUE(StartsWith(last, ">>版本写入失败（") && EndsWith(last, "）")) << c.what << ": " << last;
    EXPECT_NE(last.find(c.why), std::string::npos) << c.what << ": " << last;
    EXPECT_EQ(s.sink.tells, std::vector<std::string>{kNotComplete}) << c.what;
    EXPECT_EQ(Snapshot(inst.Dir()), before) << c.what;
    EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), 41) << c.what;
  }
}

// A download that fails, whichever file and however, leaves every file as it was; a
// later run against a healthy server completes.
TEST(UpdateRun, AFailedDownloadReplacesNothingAndTheNextRunCompletes) {
  const std::string third = kChanged[2].path;
  struct Case {
    const char* what;
    std::function<void(Session&)> bend;
    std::string log;
    bool missingBox;
    int requested;  // how many of the changed files were asked for
  } cases[] = {
      {"the connection drops in the middle of the third file",
       [&](Session& s) {
         s.server.bendBlock = [&s, third](Bytes&, int index) {
           if (s.server.current == third && index == 2) s.Fake().DropAfterQueued();
         };
       },
       ">>下载失败：" + third + "（连接中断）", false, 3},
      {"the server stops answering in the middle of the third file",
       [&](Session& s) {
         s.client->SetRateWindow(300);
         s.server.bendBlock = [&s, third](Bytes&, int index) {
           if (s.server.current == third && index == 2) s.server.answerBlocks = 3;
         };
       },
       ">>下载失败：" + third + "（速度过慢）", false, 3},
      {"the third file is not on the server", [&](Session& s) { s.server.files.erase(third); },
       ">>下载失败：" + third + "（服务器上没有此文件）", true, 3},
      {"the second file differs from the manifest",
       [](Session& s) {
         std::string other = NewBytes(1);
         other[4500] = static_cast<char>(other[4500] ^ 1);  // inside what the digest covers
         s.server.files[kChanged[1].path] = ToBytes(other);
       },
       std::string(">>文件校验失败：") + kChanged[1].path + "（与版本信息不符）", false, 2},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    const std::string before = Snapshot(inst.Dir());
    {
      Session s(inst.Dir());
      Publish(s.server, StandardManifest());
      c.bend(s);
      std::optional<BoxCloser> closer;
      if (c.missingBox) closer.emplace("文件不存在");
      const auto t0 = std::chrono::steady_clock::now();

      EXPECT_EQ(s.CheckAndRun(), Outcome::kFailed) << c.what;
      EXPECT_LT(SecondsSince(t0), 10.0) << c.what;
      ASSERT_FALSE(s.sink.logs.empty()) << c.what;
      EXPECT_EQ(s.sink.logs.back(), c.log) << c.what;
      EXPECT_EQ(s.sink.tells, std::vector<std::string>{kNotComplete}) << c.what;
      EXPECT_EQ(s.Requests(), std::vector<std::string>(kStandardRequests.begin(),
                                                       kStandardRequests.begin() + 2 + c.requested))
          << c.what;
      EXPECT_TRUE(s.sink.installed.empty()) << c.what;
      EXPECT_EQ(Snapshot(inst.Dir()), before) << c.what;
      EXPECT_FALSE(IsFolder(inst.Staging())) << c.what;
      if (closer) {
        EXPECT_EQ(closer->seen(), 1) << c.what;
      }
    }
    Session again(inst.Dir());
    Publish(again.server, StandardManifest());
    EXPECT_EQ(again.CheckAndRun(), Outcome::kComplete) << c.what;
    EXPECT_EQ(again.Requests(), kStandardRequests) << c.what;
    inst.ExpectAllNew(c.what);
  }
}

// Before the dialog shows there is nothing to cancel with: the version check ends by
// itself, whatever the server does; the manifest has a limit of its own.
TEST(UpdateRun, TheVersionCheckAndTheManifestAreBounded) {
  struct Case {
    const char* what;
    std::function<void(Session&)> bend;
    Check check;
    std::vector<std::string> logs;
    std::vector<std::string> messages;  // what the client sent
  } cases[] = {
      {"a version file of 4 KiB",
       [](Session& s) {
         std::string file = kServerVersionFile;
         file += ";" + std::string(4096 - file.size() - 3, 'x') + "\r\n";
         s.server.files["LastVer.txt"] = ToBytes(file);
       },
       Check::kNewer,
       {},
       {}},
      {"a version file announced above 4 KiB",
       [](Session& s) {
         s.server.files["LastVer.txt"] = ToBytes(kServerVersionFile + std::string(4096, ' '));
       },
       Check::kFailed,
       {"获取版本信息失败..（文件过大）"},
       {"FR:LastVer.txt", "CT"}},
      {"a server that never answers",
       [](Session& s) {
         s.run->SetVersionCheckMs(400);
         s.server.holdRequest = [](const std::string&) { return true; };
       },
       Check::kFailed,
       {"获取版本信息失败..（超时）"},
       {"FR:LastVer.txt", "CT"}},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    Session s(inst.Dir());
    Publish(s.server, StandardManifest());
    c.bend(s);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(s.run->CheckForNewVersion(), c.check) << c.what;
    EXPECT_LT(SecondsSince(t0), 3.0) << c.what;
    EXPECT_EQ(s.sink.logs, c.logs) << c.what;
    if (c.check == Check::kFailed) {
      EXPECT_EQ(s.Messages(), c.messages) << c.what;
      EXPECT_FALSE(IsFile(inst.Path("temp.dat"))) << c.what << ": not a byte written";
    } else {
      EXPECT_EQ(ReadBytes(inst.Path("temp.dat")),
                std::string(s.server.files["LastVer.txt"].begin(), s.server.files["LastVer.txt"].end()));
    }
  }

  Installation inst;
  inst.MakeOld();
  const std::string before = Snapshot(inst.Dir());
  Session s(inst.Dir());
  Publish(s.server, StandardManifest());
  s.server.files["Versions.txt"] = ToBytes(StandardManifest() + std::string(16 * 1024 * 1024, ' '));
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(s.CheckAndRun(), Outcome::kNoManifest);
  EXPECT_LT(SecondsSince(t0), 3.0);
  EXPECT_EQ(s.sink.logs, std::vector<std::string>{"下载失败：Versions.txt（文件过大）"});
  EXPECT_EQ(s.sink.tells, std::vector<std::string>{"下载版本信息失败.."});
  const auto messages = s.Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
            (std::vector<std::string>{"FR:Versions.txt", "CT"}));
  EXPECT_EQ(Snapshot(inst.Dir()), before);
}

// An empty file is up to date when the manifest has the digest of no bytes (in either
// letter case); a missing file, and one the update empties, are fetched.
TEST(UpdateRun, EmptyAndMissingInstalledFiles) {
  const std::string emptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";
  const std::string emptyMd5Upper = "D41D8CD98F00B204E9800998ECF8427E";
  const std::string missing = NewBytes(1);
  Installation inst;
  ASSERT_TRUE(WriteBytes(inst.Path("LastVer.txt"), kOldVersionFile));
  ASSERT_TRUE(WriteBytes(inst.Path("空.txt"), ""));
  ASSERT_TRUE(WriteBytes(inst.Path("EMPTY.txt"), ""));
  ASSERT_TRUE(WriteBytes(inst.Path("变空.txt"), "was not empty"));
  Session s(inst.Dir());
  Publish(s.server, kHeader + FileRow("", "空.txt", emptyMd5) + FileRow("", "EMPTY.txt", emptyMd5Upper) +
                        FileRow("", "变空.txt", emptyMd5) +
                        FileRow("", "缺少.bin", PublishedDigest(missing)));
  s.server.files["变空.txt"] = {};
  s.server.files["缺少.bin"] = ToBytes(missing);

  EXPECT_EQ(s.CheckAndRun(), Outcome::kComplete);
  EXPECT_EQ(s.Requests(), (std::vector<std::string>{"LastVer.txt", "Versions.txt", "变空.txt", "缺少.bin"}));
  EXPECT_EQ(s.sink.shown, (std::vector<std::string>{"变空.txt 1/2", "缺少.bin 2/2"}));
  EXPECT_EQ(ReadBytes(inst.Path("空.txt")), "");
  EXPECT_EQ(ReadBytes(inst.Path("EMPTY.txt")), "");
  EXPECT_EQ(ReadBytes(inst.Path("变空.txt")), "");
  EXPECT_EQ(ReadBytes(inst.Path("缺少.bin")), missing);
  EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), kNewVersion);
}

namespace {

// The standard installation with a large file besides, listed last and up to date:
// its digest takes a while.
constexpr size_t kLargeSize = 24 * 1024 * 1024 + 100;
const char kLargeName[] = "GameSkin\\大.bin";

std::string LargeBytes() {
  std::string bytes(kLargeSize, '\0');
  for (size_t k = 0; k < bytes.size(); k += 997) bytes[k] = static_cast<char>(k / 997);
  return bytes;
}

std::string ManifestWithLargeFile() {
  return StandardManifest(FileRow("GameSkin\\", kLargeName, PublishedDigest(LargeBytes())));
}

}  // namespace

TEST(UpdateRun, TheWindowIsServedDuringALongDigest) {
  Installation inst;
  inst.MakeOld();
  ASSERT_TRUE(WriteBytes(inst.Path(kLargeName), LargeBytes()));
  Session s(inst.Dir());
  Publish(s.server, ManifestWithLargeFile());

  EXPECT_EQ(s.CheckAndRun(), Outcome::kComplete);
  // Once before each of the five files, and several times inside the large one.
  EXPECT_GE(s.sink.analysisKeepGoingCalls, 5 + 4);
  EXPECT_EQ(s.Requests(), kStandardRequests) << "the large file is up to date";
  inst.ExpectAllNew("large file");
}

TEST(UpdateRun, AStopChangesNothing) {
  using StopAt = RecordingSink::StopAt;
  const std::vector<std::string> noFiles = {"LastVer.txt", "Versions.txt"};
  struct Case {
    const char* what;
    StopAt at;
    int n;
    bool windowGone;
    std::vector<std::string> requests;
  } cases[] = {
      // The 7th KeepGoing of the analysis is asked inside the large file's digest.
      {"the stop button during a digest", StopAt::kAnalysisKeepGoing, 7, false, noFiles},
      {"the window gone during a digest", StopAt::kAnalysisKeepGoing, 7, true, noFiles},
      {"the stop button during the 2nd download",
       StopAt::kDownloadProgress,
       2,
       false,
       {"LastVer.txt", "Versions.txt", kChanged[0].path, kChanged[1].path}},
      {"the window gone before the 3rd download",
       StopAt::kBeforeDownload,
       3,
       true,
       {"LastVer.txt", "Versions.txt", kChanged[0].path, kChanged[1].path}},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    ASSERT_TRUE(WriteBytes(inst.Path(kLargeName), LargeBytes()));
    const std::string before = Snapshot(inst.Dir());
    Session s(inst.Dir());
    Publish(s.server, ManifestWithLargeFile());
    s.sink.stopAt = c.at;
    s.sink.stopN = c.n;
    s.sink.windowGone = c.windowGone;

    EXPECT_EQ(s.CheckAndRun(), Outcome::kCancelled) << c.what;
    EXPECT_TRUE(s.sink.Stopped()) << c.what;
    EXPECT_EQ(s.Requests(), c.requests) << c.what;
    if (c.at == StopAt::kAnalysisKeepGoing) {
      // Stopped inside the analysis: it reports no result.
      for (const auto& line : s.sink.logs) EXPECT_FALSE(StartsWith(line, ">>分析成功")) << c.what;
    } else {
      EXPECT_EQ(s.sink.logs.back(), ">>升级已取消，已经保持原来的版本") << c.what;
    }
    EXPECT_TRUE(s.sink.tells.empty()) << c.what;
    EXPECT_TRUE(s.sink.installed.empty()) << c.what;
    EXPECT_EQ(Snapshot(inst.Dir()), before) << c.what;
    EXPECT_FALSE(IsFolder(inst.Staging())) << c.what;
  }
}

TEST(UpdateRun, ARunKilledWhileMovingFilesIsFinishedByTheNext) {
  Installation inst;
  inst.MakeOld();
  EXPECT_EQ(RunHelper(inst.Dir()), kKilledCode);

  // Every file whole: the first two new, the third not there yet, the version old.
  EXPECT_EQ(ReadBytes(inst.Path(kChanged[0].path)), NewBytes(0));
  EXPECT_EQ(ReadBytes(inst.Path(kChanged[1].path)), NewBytes(1));
  EXPECT_FALSE(ReadBytes(inst.Path(kChanged[2].path)));
  EXPECT_EQ(ReadBytes(inst.Path("Gyrelot.exe")), kGame);
  EXPECT_EQ(ReadBytes(inst.Path("LastVer.txt")), kOldVersionFile);
  EXPECT_TRUE(IsFile(inst.Path("update.staging\\journal.txt")));

  Session s(inst.Dir());
  Publish(s.server, StandardManifest());
  EXPECT_EQ(s.CheckAndRun(), Outcome::kComplete);
  // Finished from what was staged and verified: nothing is fetched again.
  EXPECT_EQ(s.sink.logs, (std::vector<std::string>{">>上次未完成的升级已经完成", "下载版本信息成功",
                                                   ">>启动待升级文件分析", ">>分析成功，有0个文件需要更新",
                                                   ">>>>升级完成"}));
  EXPECT_EQ(s.Requests(), (std::vector<std::string>{"LastVer.txt", "Versions.txt"}));
  inst.ExpectAllNew("finished");
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--run-and-die") == 0) {
    const auto dir = FromHex(argv[2]);
    if (!dir) return 2;
    return RunAndDie(*dir);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
