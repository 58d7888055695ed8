// The whole-or-nothing install, on installations made in temporary folders. This
// program also runs as its own helper: started with
//   --install-and-die <installation folder as hex GBK bytes> <n>
// it installs the standard update into that folder and kills itself right after the
// n-th file was put in place, as a crash or a power cut would end the updater.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "install_test_files.h"
#include "temp_dir.h"
#include "text/profile.h"
#include "uInstaller.h"
#include "uVersionFile.h"
#include "win/gbk_text.h"
#include "win/handle.h"

namespace {

using install::Recovery;
using install::StagedFile;
using install::TStaging;
using namespace installtest;

// The names in a folder (GBK), as the file system spells them.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((W(folder) + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(gbk::FromWide(name));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

// A file held open by "another program": only readers may share it.
winapp::UniqueHandle HoldOpen(const std::string& path, DWORD share = FILE_SHARE_READ) {
  return winapp::UniqueHandle(CreateFileW(W(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

// ---------------------------------------------------------------------------------
// The standard update: version 41 to 42. A read-only file with a Chinese name, a file
// in a sub-folder, and a new file in two new folders; "GameSkin" exists already and
// "Gyrelot.exe" is not part of the update.

struct UpdatedFile {
  const char* target;
  bool existsBefore;
};
const UpdatedFile kFiles[] = {
    {"说明.txt", true},
    {"GameSkin\\pack.bin", true},
    {"皮肤新\\子\\新图.png", false},
};
constexpr int kFileCount = 3;
const std::vector<std::string> kFolders = {"GameSkin", "皮肤新", "皮肤新\\子"};
constexpr int32_t kOldVersion = 41;
constexpr int32_t kNewVersion = 42;
const std::string kOldVersionFile = "[ver]\r\nLastVer=41\r\n[host]\r\nip=127.0.0.1\r\n";
const std::string kUntouched = "the game itself";

// Contents with the bytes a text-mode slip would change, of different lengths.
std::string OldBytes(int i) {
  return std::string("old\0\r\n\x1a", 7) + kFiles[i].target;
}
std::string NewBytes(int i) {
  return std::string(2000 + 700 * i, static_cast<char>('a' + i)) + std::string("\0\n", 2) + kFiles[i].target;
}

std::vector<StagedFile> StagedList(const TStaging& staging) {
  std::vector<StagedFile> files;
  for (int i = 0; i < kFileCount; ++i) files.push_back({kFiles[i].target, staging.NameFor(i)});
  return files;
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
  // A path beside the installation, where nothing may ever be written.
  std::string Outside(const std::string& name) const {
    return gbk::FromWide(tmp_.path().wstring()) + "\\" + name;
  }
  std::string Staging() const { return dir_ + "update.staging"; }
  bool HasJournal() const { return IsFile(dir_ + "update.staging\\journal.txt"); }

  void MakeOld(bool withVersionFile = true) {
    MakeFolder(Path("GameSkin"));
    ASSERT_TRUE(WriteBytes(Path("Gyrelot.exe"), kUntouched));
    for (int i = 0; i < kFileCount; ++i) {
      if (kFiles[i].existsBefore) {
        ASSERT_TRUE(WriteBytes(Path(kFiles[i].target), OldBytes(i)));
      }
    }
    ASSERT_TRUE(SetFileAttributesW(W(Path("说明.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
    if (withVersionFile) {
      ASSERT_TRUE(WriteBytes(Path("LastVer.txt"), kOldVersionFile));
    }
  }

  // The downloads, verified, waiting in the staging folder.
  std::vector<StagedFile> Stage() {
    TStaging staging(dir_);
    std::string why;
    EXPECT_TRUE(staging.Prepare(&why)) << why;
    for (int i = 0; i < kFileCount; ++i) EXPECT_TRUE(WriteBytes(staging.PathFor(i), NewBytes(i)));
    return StagedList(staging);
  }

  void ExpectOld(int i, const std::string& context) const {
    const auto bytes = ReadBytes(Path(kFiles[i].target));
    if (kFiles[i].existsBefore) {
      EXPECT_EQ(bytes, OldBytes(i)) << context << ": " << i;
    } else {
      EXPECT_FALSE(bytes) << context << ": " << i;
    }
  }
  void ExpectNew(int i, const std::string& context) const {
    EXPECT_EQ(ReadBytes(Path(kFiles[i].target)), NewBytes(i)) << context << ": " << i;
  }

  // Exactly the installation before the update.
  void ExpectAllOld(const std::string& context, bool withVersionFile = true) const {
    for (int i = 0; i < kFileCount; ++i) ExpectOld(i, context);
    EXPECT_TRUE(IsReadOnly(Path("说明.txt"))) << context;
    EXPECT_TRUE(IsFolder(Path("GameSkin"))) << context;
    EXPECT_FALSE(IsFolder(Path("皮肤新"))) << context;  // made for the update, removed again
    EXPECT_EQ(ReadBytes(Path("Gyrelot.exe")), kUntouched) << context;
    if (withVersionFile) {
      EXPECT_EQ(ReadBytes(Path("LastVer.txt")), kOldVersionFile) << context;
    }
  }
  void ExpectAllNew(const std::string& context) const {
    for (int i = 0; i < kFileCount; ++i) ExpectNew(i, context);
    EXPECT_EQ(ReadBytes(Path("Gyrelot.exe")), kUntouched) << context;
    EXPECT_EQ(version::ReadVersionFile(Path("lastVer.txt")), kNewVersion) << context;
  }

 private:
  TempDir tmp_;
  std::string dir_;
};

// ---------------------------------------------------------------------------------
// The helper process.

constexpr UINT kKilledCode = 9;

int InstallAndDie(const std::string& dir, int killAfter) {
  TStaging staging(dir);
  const install::InstallResult r =
      staging.Install(StagedList(staging), kFolders, kNewVersion, [killAfter](int done, int) {
        if (done == killAfter) TerminateProcess(GetCurrentProcess(), kKilledCode);
      });
  return r.ok ? 0 : 1;
}

// Runs the helper on `dir`; its exit code.
DWORD RunInstallAndDie(const std::string& dir, int killAfter) {
  return RunSelf(L"--install-and-die " + Hex(dir) + L" " + std::to_wstring(killAfter));
}

}  // namespace

// ---------------------------------------------------------------------------------

TEST(Install, PutsEveryFileInPlaceAndRecordsTheVersion) {
  Installation inst;
  inst.MakeOld();
  const auto files = inst.Stage();
  std::vector<std::pair<int, int>> progress;
  const auto r = TStaging(inst.Dir()).Install(files, kFolders, kNewVersion, [&](int done, int total) {
    progress.emplace_back(done, total);
  });
  ASSERT_TRUE(r.ok) << r.what << ": " << r.why;
  EXPECT_FALSE(r.versionFailed);
  inst.ExpectAllNew("installed");
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
  // The version is found under the key's two spellings; the rest of the file stays.
  EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"LastVer"), L"42");
  EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"lastVer"), L"42");
  const auto content = ReadBytes(inst.Path("lastVer.txt")).value_or("");
  EXPECT_EQ(profile::FindProfileValue(content, "host", "ip"), "127.0.0.1");
  // Nothing of the update is left: no staging folder, no backups, no temporary file.
  EXPECT_FALSE(IsFolder(inst.Staging()));
  EXPECT_FALSE(IsFile(inst.Path("lastver.txt.tmp")));
  std::vector<std::string> top = Names(inst.Dir());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"GameSkin", "Gyrelot.exe", "LastVer.txt", "皮肤新", "说明.txt"}));
}

TEST(Install, AFailedMoveBringsBackWhatWasInstalled) {
  struct Case {
    const char* what;
    int failing;  // 0-based
    std::vector<std::string> folders;
    bool lockFailing;
    const char* why;  // expected reason, or nullptr for any
  };
  const Case cases[] = {
      {"2nd file held open by another program", 1, kFolders, true, "目标文件被占用"},
      {"3rd file's folder not made", 2, {"GameSkin", "皮肤新"}, false, nullptr},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    const auto files = inst.Stage();
    winapp::UniqueHandle lock;
    if (c.lockFailing) {
      lock = HoldOpen(inst.Path(kFiles[c.failing].target));
      ASSERT_TRUE(lock) << c.what;
    }
    int moved = 0;
    const auto r =
        TStaging(inst.Dir()).Install(files, c.folders, kNewVersion, [&](int done, int) { moved = done; });
    lock.Reset();
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_FALSE(r.versionFailed) << c.what;
    EXPECT_EQ(moved, c.failing) << c.what;  // the files before it had been put in place
    EXPECT_EQ(r.what, kFiles[c.failing].target) << c.what;
    if (c.why) {
      EXPECT_EQ(r.why, c.why) << c.what;
    } else {
      EXPECT_FALSE(r.why.empty()) << c.what;
    }
    inst.ExpectAllOld(c.what);
    EXPECT_FALSE(inst.HasJournal()) << c.what;
    // A backup of a file held open cannot be deleted while it is (it is another name
    // of that file); the next run clears what is left, and finds nothing to finish.
    std::string why;
    EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kNone) << c.what;
    EXPECT_FALSE(IsFolder(inst.Staging())) << c.what;
    inst.ExpectAllOld(c.what);
  }
}

TEST(Install, AVersionThatCannotBeWrittenBringsTheFilesBack) {
  // A fresh installation has no version file; a folder of its name is in the way.
  Installation inst;
  inst.MakeOld(false);
  MakeFolder(inst.Path("lastver.txt"));
  ASSERT_TRUE(WriteBytes(inst.Path("lastver.txt\\inside.txt"), "kept"));
  const auto files = inst.Stage();
  const auto r = TStaging(inst.Dir()).Install(files, kFolders, kNewVersion);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.versionFailed);
  EXPECT_EQ(r.what, "lastVer.txt");
  EXPECT_FALSE(r.why.empty());
  inst.ExpectAllOld("version failed", false);
  EXPECT_FALSE(IsFile(inst.Path("lastver.txt")));
  EXPECT_EQ(ReadBytes(inst.Path("lastver.txt\\inside.txt")), "kept");
  EXPECT_FALSE(IsFile(inst.Path("lastver.txt.tmp")));
  EXPECT_FALSE(IsFolder(inst.Staging()));
}

TEST(Install, RowsThatLeaveTheInstallationAreRefusedBeforeAnythingIsTouched) {
  struct Case {
    std::string target;  // replaces the 2nd row's
    std::string staged;  // replaces the 2nd row's staged name when not empty
    std::string folder;  // added to the folders when not empty
  };
  const Case cases[] = {
      {"update.staging\\x.bin", "", ""},
      {"UPDATE.STAGING.\\x.bin", "", ""},
      {"..\\逃出.bin", "", ""},
      {"GameSkin\\..\\..\\逃出.bin", "", ""},
      {"GameSkin\\. \\x.bin", "", ""},
      {"C:\\逃出.bin", "", ""},
      {"\\逃出.bin", "", ""},
      {"GameSkin\\\\x.bin", "", ""},
      {"", "", ""},
      {"GameSkin\\pack.bin", "..\\file1.dat", ""},
      {"GameSkin\\pack.bin", "file9.dat", ""},  // never downloaded
      {"GameSkin\\pack.bin", "file0.dat", ""},  // the 1st row's
      {"GameSkin\\pack.bin", "", "..\\逃出"},
      {"GameSkin\\pack.bin", "", "update.staging\\x"},
  };
  for (const auto& c : cases) {
    const std::string context = c.target + " / " + c.staged + " / " + c.folder;
    Installation inst;
    inst.MakeOld();
    auto files = inst.Stage();
    files[1].target = c.target;
    if (!c.staged.empty()) files[1].staged = c.staged;
    auto folders = kFolders;
    if (!c.folder.empty()) folders.push_back(c.folder);
    const auto r = TStaging(inst.Dir()).Install(files, folders, kNewVersion);
    EXPECT_FALSE(r.ok) << context;
    EXPECT_FALSE(r.why.empty()) << context;
    EXPECT_FALSE(inst.HasJournal()) << context;
    inst.ExpectAllOld(context);
    EXPECT_FALSE(IsFile(inst.Outside("逃出.bin"))) << context;
    EXPECT_FALSE(IsFolder(inst.Outside("逃出"))) << context;
  }
}

TEST(Interrupted, AnInstallKilledHalfWayIsFinishedByTheNextRun) {
  struct Case {
    int killAfter;
    bool versionWritten;  // the kill came after the version file was replaced
  };
  const Case cases[] = {{1, false}, {2, false}, {3, false}, {3, true}};
  for (const auto& c : cases) {
    const std::string context =
        "killed after " + std::to_string(c.killAfter) + (c.versionWritten ? " and the version" : "");
    Installation inst;
    inst.MakeOld();
    inst.Stage();
    ASSERT_EQ(RunInstallAndDie(inst.Dir(), c.killAfter), kKilledCode) << context;

    // Every file whole, old or new, none missing; the version still the old one.
    for (int i = 0; i < kFileCount; ++i) {
      if (i < c.killAfter) {
        inst.ExpectNew(i, context);
      } else {
        inst.ExpectOld(i, context);
      }
    }
    EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), kOldVersion) << context;
    EXPECT_TRUE(inst.HasJournal()) << context;
    if (c.versionWritten) {
      // What a kill between the version and the clean-up leaves behind.
      std::string why;
      ASSERT_TRUE(install::WriteInstalledVersion(inst.Dir(), kNewVersion, &why)) << why;
    }

    std::string why;
    EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kCompleted)
        << context << ": " << why;
    inst.ExpectAllNew(context);
    EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"lastVer"), L"42") << context;
    EXPECT_FALSE(IsFolder(inst.Staging())) << context;
    EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kNone) << context;
    inst.ExpectAllNew(context);
  }
}

TEST(Interrupted, AFileStillHeldOpenKeepsTheJournalForTheNextRun) {
  Installation inst;
  inst.MakeOld();
  inst.Stage();
  ASSERT_EQ(RunInstallAndDie(inst.Dir(), 1), kKilledCode);
  {
    const auto lock = HoldOpen(inst.Path("GameSkin\\pack.bin"));
    ASSERT_TRUE(lock);
    std::string why;
    EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kFailed);
    EXPECT_NE(why.find("GameSkin\\pack.bin"), std::string::npos) << why;
    EXPECT_NE(why.find("目标文件被占用"), std::string::npos) << why;
  }
  EXPECT_TRUE(inst.HasJournal());
  inst.ExpectNew(0, "held open");
  inst.ExpectOld(1, "held open");
  EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), kOldVersion);

  std::string why;
  EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kCompleted) << why;
  inst.ExpectAllNew("let go");
  EXPECT_FALSE(IsFolder(inst.Staging()));
}

// A journal that is not one the installer wrote is dropped with the staging folder:
// nothing is moved on its word. The version recorded is still the old one, so the next
// update fetches again whatever differs from the manifest.
TEST(Interrupted, AJournalThatCannotBeReadIsDroppedAndNothingMoves) {
  const std::string valid =
      "gyrelot-install\t1\r\nversion\t42\r\nfolder\t皮肤新\r\nfolder\t皮肤新\\子\r\n"
      "file\tfile0.dat\t说明.txt\r\nfile\tfile1.dat\tGameSkin\\pack.bin\r\n"
      "file\tfile2.dat\t皮肤新\\子\\新图.png\r\nend\t5\r\n";
  auto replaced = [&valid](const std::string& from, const std::string& to) {
    std::string out = valid;
    const size_t at = out.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? out : out.replace(at, from.size(), to);
  };
  std::string lfOnly;
  for (const char ch : valid) {
    if (ch != '\r') lfOnly += ch;
  }
  struct Case {
    const char* what;
    std::string journal;
    Recovery expected;
  };
  const Case cases[] = {
      // The format itself, so that the rows below fail for their own reason.
      {"the journal as the installer writes it", valid, Recovery::kCompleted},
      {"line feeds only", lfOnly, Recovery::kCompleted},
      {"empty", "", Recovery::kNone},
      {"cut inside the last line", valid.substr(0, valid.size() - 3), Recovery::kNone},
      {"cut before the end line", replaced("end\t5\r\n", ""), Recovery::kNone},
      {"a count that does not match", replaced("end\t5", "end\t4"), Recovery::kNone},
      {"another format", replaced("install\t1", "install\t2"), Recovery::kNone},
      {"a version that is no number", replaced("version\t42", "version\t4x2"), Recovery::kNone},
      {"a path out of the installation", replaced("\t说明.txt", "\t..\\逃出.bin"), Recovery::kNone},
      {"a path into the staging folder", replaced("\t说明.txt", "\tupdate.staging\\journal.txt"),
       Recovery::kNone},
      {"a staged name with a path", replaced("\tfile0.dat", "\t..\\file0.dat"), Recovery::kNone},
      {"one staged name twice", replaced("\tfile1.dat", "\tfile0.dat"), Recovery::kNone},
      {"an unknown line", replaced("folder\t皮肤新\r\n", "delete\t皮肤新\r\n"), Recovery::kNone},
      {"bytes that are no text", std::string("\0\xff\x13\x88gyrelot\n", 12), Recovery::kNone},
  };
  for (const auto& c : cases) {
    Installation inst;
    inst.MakeOld();
    inst.Stage();
    ASSERT_TRUE(WriteBytes(inst.Staging() + "\\file0.dat.old", "a backup left behind"));
    ASSERT_TRUE(WriteBytes(inst.Staging() + "\\journal.txt", c.journal));
    std::string why;
    EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), c.expected) << c.what;
    if (c.expected == Recovery::kCompleted) {
      inst.ExpectAllNew(c.what);
    } else {
      EXPECT_EQ(why, "安装记录已损坏，已丢弃") << c.what;
      inst.ExpectAllOld(c.what);
      EXPECT_FALSE(IsFile(inst.Outside("逃出.bin"))) << c.what;
    }
    EXPECT_FALSE(IsFolder(inst.Staging())) << c.what;
  }
}

TEST(Staging, ALeftoverFolderWithoutJournalIsCleared) {
  // Prepare empties it for the next download; the start of a run removes it.
  for (const bool prepare : {true, false}) {
    Installation inst;
    inst.MakeOld();
    const std::string folder = inst.Staging();
    MakeFolder(folder);
    MakeFolder(folder + "\\sub");
    ASSERT_TRUE(WriteBytes(folder + "\\file0.dat", "half a download"));
    ASSERT_TRUE(WriteBytes(folder + "\\journal.tmp", "gyrelot-install\t1\r\nvers"));
    ASSERT_TRUE(WriteBytes(folder + "\\sub\\深.bin", "x"));
    ASSERT_TRUE(WriteBytes(folder + "\\ro.dat", "x"));
    ASSERT_TRUE(SetFileAttributesW(W(folder + "\\ro.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    if (prepare) {
      std::string why;
      EXPECT_TRUE(TStaging(inst.Dir()).Prepare(&why)) << why;
      EXPECT_TRUE(IsFolder(folder));
      EXPECT_EQ(Names(folder), std::vector<std::string>{});
    } else {
      std::string why;
      EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kNone);
      EXPECT_FALSE(IsFolder(folder));
    }
    inst.ExpectAllOld(prepare ? "prepare" : "complete");
  }
}

TEST(Staging, AFolderHoldingAJournalIsLeftAlone) {
  Installation inst;
  inst.MakeOld();
  inst.Stage();
  ASSERT_EQ(RunInstallAndDie(inst.Dir(), 1), kKilledCode);
  TStaging staging(inst.Dir());
  std::string why;
  EXPECT_FALSE(staging.Prepare(&why));
  EXPECT_FALSE(why.empty());
  staging.Remove();
  EXPECT_TRUE(inst.HasJournal());
  EXPECT_TRUE(IsFile(staging.PathFor(1)));
  EXPECT_TRUE(IsFile(staging.PathFor(2)));
  // The journal still finishes the install.
  EXPECT_EQ(install::CompleteInterruptedInstall(inst.Dir(), &why), Recovery::kCompleted) << why;
  inst.ExpectAllNew("after Remove");
}

TEST(Staging, RemoveDeletesNothingOutsideTheStagingFolder) {
  Installation inst;
  inst.MakeOld();
  // Neighbours whose names begin like the staging folder's.
  MakeFolder(inst.Path("update.staging2"));
  ASSERT_TRUE(WriteBytes(inst.Path("update.staging2\\keep.txt"), "keep"));
  ASSERT_TRUE(WriteBytes(inst.Path("update.staging.txt"), "keep"));
  ASSERT_TRUE(WriteBytes(inst.Path("update.stagingfile0.dat"), "keep"));
  inst.Stage();
  TStaging(inst.Dir()).Remove();
  EXPECT_FALSE(IsFolder(inst.Staging()));
  EXPECT_EQ(ReadBytes(inst.Path("update.staging2\\keep.txt")), "keep");
  EXPECT_EQ(ReadBytes(inst.Path("update.staging.txt")), "keep");
  EXPECT_EQ(ReadBytes(inst.Path("update.stagingfile0.dat")), "keep");
  inst.ExpectAllOld("removed");

  // A folder given without its separator gets one (after a character whose second
  // GBK byte is a backslash, too), never a name glued to it.
  std::string noSeparator = inst.Dir();
  noSeparator.pop_back();
  ASSERT_EQ(noSeparator.back(), '\\');  // the second byte of "乗"
  EXPECT_EQ(TStaging(noSeparator).Folder(), inst.Dir() + "update.staging\\");

  // No installation folder is not the current folder.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(W(inst.Dir()).c_str()));
  MakeFolder(inst.Staging());
  ASSERT_TRUE(WriteBytes(inst.Staging() + "\\keep.bin", "keep"));
  TStaging nowhere("");
  nowhere.Remove();
  std::string why;
  EXPECT_FALSE(nowhere.Prepare(&why));
  EXPECT_FALSE(nowhere.Install(StagedList(nowhere), kFolders, kNewVersion).ok);
  EXPECT_EQ(install::CompleteInterruptedInstall("", &why), Recovery::kFailed);
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(ReadBytes(inst.Staging() + "\\keep.bin"), "keep");
}

TEST(Version, WrittenThroughATemporaryFileAndReadBack) {
  struct Case {
    const char* what;
    std::function<void(const Installation&)> before;
    bool ok;
    const char* fileName;  // the version file's name afterwards, as spelt on disk
  };
  const Case cases[] = {
      {"no version file yet", [](const Installation&) {}, true, "lastver.txt"},
      {"one spelt LastVer.txt",
       [](const Installation& inst) { ASSERT_TRUE(WriteBytes(inst.Path("LastVer.txt"), kOldVersionFile)); },
       true, "LastVer.txt"},
      {"a read-only one",
       [](const Installation& inst) {
         ASSERT_TRUE(WriteBytes(inst.Path("lastVer.txt"), kOldVersionFile));
         ASSERT_TRUE(SetFileAttributesW(W(inst.Path("lastVer.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
       },
       true, "lastVer.txt"},
      {"a folder of that name", [](const Installation& inst) { MakeFolder(inst.Path("LASTVER.TXT")); }, false,
       nullptr},
  };
  for (const auto& c : cases) {
    Installation inst;
    c.before(inst);
    std::string why;
    EXPECT_EQ(install::WriteInstalledVersion(inst.Dir(), 7, &why), c.ok) << c.what << ": " << why;
    EXPECT_FALSE(IsFile(inst.Path("lastver.txt.tmp"))) << c.what;
    if (!c.ok) {
      EXPECT_FALSE(why.empty()) << c.what;
      EXPECT_FALSE(IsFile(inst.Path("lastVer.txt"))) << c.what;
      continue;
    }
    EXPECT_EQ(Names(inst.Dir()), std::vector<std::string>{c.fileName}) << c.what;
    EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"LastVer"), L"7") << c.what;
    EXPECT_EQ(ProfileVersion(inst.Path("lastVer.txt"), L"lastVer"), L"7") << c.what;
    const auto content = ReadBytes(inst.Path("lastVer.txt")).value_or("");
    EXPECT_EQ(profile::FindProfileValue(content, "ver", "lastVer"), "7") << c.what;
    // The rest of an existing file stays.
    const bool existed = std::strcmp(c.what, "no version file yet") != 0;
    EXPECT_EQ(profile::FindProfileValue(content, "host", "ip"),
              existed ? std::optional<std::string>("127.0.0.1") : std::nullopt)
        << c.what;
  }
}

TEST(Version, AFileHeldOpenIsNotReplacedAndSaysSo) {
  Installation inst;
  ASSERT_TRUE(WriteBytes(inst.Path("lastVer.txt"), kOldVersionFile));
  const std::string existing = kOldVersionFile;
  for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
    const auto lock = HoldOpen(inst.Path("lastVer.txt"), share);
    ASSERT_TRUE(lock);
    std::string why;
    EXPECT_FALSE(install::WriteInstalledVersion(inst.Dir(), 7, &why)) << share;
    EXPECT_FALSE(why.empty()) << share;
  }
  EXPECT_EQ(ReadBytes(inst.Path("lastVer.txt")), existing);
  EXPECT_FALSE(IsFile(inst.Path("lastver.txt.tmp")));
  std::string why;
  EXPECT_TRUE(install::WriteInstalledVersion(inst.Dir(), 7, &why)) << why;
  const auto content = ReadBytes(inst.Path("lastVer.txt")).value_or("");
  EXPECT_EQ(profile::FindProfileValue(content, "host", "ip"), "127.0.0.1");
  EXPECT_EQ(version::ReadVersionFile(inst.Path("lastVer.txt")), 7);
}

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--install-and-die") == 0) {
    const auto dir = FromHex(argv[2]);
    int killAfter = 0;
    const char* end = argv[3] + std::strlen(argv[3]);
    const auto [ptr, ec] = std::from_chars(argv[3], end, killAfter);
    if (!dir || ec != std::errc() || ptr != end) return 2;
    return InstallAndDie(*dir, killAfter);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
