#include "uInstaller.h"

#include <windows.h>

#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "io/input_file.h"
#include "text/profile.h"
#include "uVersionFile.h"
#include "win/file_attributes.h"
#include "win/gbk_text.h"
#include "win/handle.h"

namespace install {

namespace {

constexpr char kJournalName[] = "journal.txt";
constexpr char kJournalTemp[] = "journal.tmp";
constexpr char kBackupSuffix[] = ".old";
// The installation's version file: an existing one is found in any letter case (file
// names are looked up regardless of case), a new one gets the lower-case name.
constexpr char kVersionFile[] = "lastVer.txt";
constexpr char kNewVersionFile[] = "lastver.txt";
constexpr char kVersionTemp[] = "lastver.txt.tmp";
// A journal is a few lines per file; anything far larger is not one of ours.
constexpr size_t kMaxJournalBytes = 16 * 1024 * 1024;
constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

std::wstring W(const std::string& gbkText) {
  return gbk::ToWide(gbkText);
}

bool IsGbkLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// The last character of a GBK string is a path separator (a backslash that is the
// second byte of a double-byte character is none).
bool EndsWithSeparator(std::string_view s) {
  bool separator = false;
  for (size_t i = 0; i < s.size();) {
    if (IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      separator = false;
      i += 2;
    } else {
      separator = s[i] == '\\' || s[i] == '/';
      ++i;
    }
  }
  return separator;
}

// The installation folder with its separator; empty stays empty (a relative "" would
// mean the current folder, which is never the installation).
std::string WithSeparator(std::string appDir) {
  if (!appDir.empty() && !EndsWithSeparator(appDir)) appDir += '\\';
  return appDir;
}

// The parts of a relative GBK path between separators, GBK-aware.
std::vector<std::string_view> SplitParts(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    if (IsGbkLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      i += 2;
    } else if (path[i] == '\\' || path[i] == '/') {
      parts.push_back(path.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  parts.push_back(path.substr(start));
  return parts;
}

// Windows drops trailing dots and blanks from a name: "update.staging." and ".. "
// name the staging folder and the parent.
std::string_view AsWindowsSeesIt(std::string_view part) {
  while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
  return part;
}

// Why a path from a manifest row (or a journal) may not be used inside the
// installation, or "" when it may: it must stay inside, and keep out of the staging
// folder. A folder may end with one separator.
std::string RelativePathProblem(std::string path, bool folder) {
  if (folder && EndsWithSeparator(path)) path.pop_back();
  if (path.empty()) return "路径为空";
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ':') return "路径含有无效字符";
  }
  const std::vector<std::string_view> parts = SplitParts(path);
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string_view seen = AsWindowsSeesIt(parts[i]);
    if (parts[i].empty() || seen.empty()) return "路径不在安装目录之内";
    if (i == 0 && profile::EqualNoCase(seen, kStagingFolder)) return "路径在暂存目录之内";
  }
  return "";
}

// Staged names are ours ("file0.dat"): plain ASCII names that cannot be mistaken for
// the journal or a backup.
bool IsStagedName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  const std::string_view suffix = kBackupSuffix;
  if (name.size() >= suffix.size() &&
      profile::EqualNoCase(name.substr(name.size() - suffix.size()), suffix)) {
    return false;
  }
  return !profile::EqualNoCase(name, kJournalName) && !profile::EqualNoCase(name, kJournalTemp);
}

std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n ? gbk::FromWide(std::wstring_view(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!out.empty() &&
         (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "错误 " + std::to_string(code) : out;
}

// Why a rename over `target` failed. A file that another program holds open refuses
// the rename with "access denied", as a permission problem would: opening it for
// ourselves alone tells the two apart.
std::string ReplaceProblem(DWORD code, const std::string& target) {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return "目标文件被占用";
  if (code == ERROR_ACCESS_DENIED) {
    winapp::UniqueHandle probe(CreateFileW(W(target).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!probe && GetLastError() == ERROR_SHARING_VIOLATION) return "目标文件被占用";
  }
  return SystemText(code);
}

DWORD WithoutReadOnly(DWORD attrs) {
  const DWORD rest = attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return rest == 0 ? FILE_ATTRIBUTE_NORMAL : rest;
}

// Writes `bytes` to a new file at `temp`, on the disk before it returns, and renames
// it over `path`: a reader (or a killed process) finds the old file or the new one.
bool ReplaceWholeFile(const std::string& temp, const std::string& path, const std::string& bytes,
                      std::string* why) {
  const std::wstring wtemp = W(temp);
  {
    winapp::UniqueHandle file(
        CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      *why = SystemText(GetLastError());
      return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
      const size_t left = bytes.size() - done;
      const DWORD chunk = left > 0x100000 ? 0x100000 : static_cast<DWORD>(left);
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
        *why = SystemText(GetLastError());
        file.Reset();
        DeleteFileW(wtemp.c_str());
        return false;
      }
      done += written;
    }
    if (!FlushFileBuffers(file.get())) {
      *why = SystemText(GetLastError());
      file.Reset();
      DeleteFileW(wtemp.c_str());
      return false;
    }
  }
  if (!MoveFileExW(wtemp.c_str(), W(path).c_str(), kReplace)) {
    *why = ReplaceProblem(GetLastError(), path);
    DeleteFileW(wtemp.c_str());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// The journal: GBK text, one record a line (CR LF; LF alone is read too), fields
// separated by a tab, a byte that is neither part of a GBK character nor allowed in a
// file name. It is written once, before anything is touched, and never changed:
//
//   gyrelot-install	1
//   version	42
//   folder	皮肤新
//   folder	皮肤新\子
//   file	file0.dat	说明.txt
//   file	file1.dat	皮肤新\子\新图.png
//   end	4
//
// "folder" names a folder that was missing when the install began (made before the
// first file moves, so its lines come before the files'); "file" the staged name and
// the path in the installation; "end" the number of folder and file lines. Anything else (another first line,
// a line of another kind, a path leading out of the installation, a count that does not match, no final
// "end") means the file is no journal of ours.

struct Journal {
  int32_t version = 0;
  std::vector<std::string> folders;
  std::vector<StagedFile> files;
};

constexpr char kJournalHeader[] = "gyrelot-install\t1";

std::string FormatJournal(const Journal& j) {
  std::string out = std::string(kJournalHeader) + "\r\n";
  out += "version\t" + std::to_string(j.version) + "\r\n";
  for (const auto& f : j.folders) out += "folder\t" + f + "\r\n";
  for (const auto& f : j.files) out += "file\t" + f.staged + "\t" + f.target + "\r\n";
  out += "end\t" + std::to_string(j.folders.size() + j.files.size()) + "\r\n";
  return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

template <typename Int>
std::optional<Int> ParseDecimal(std::string_view text) {
  Int value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::optional<Journal> ParseJournal(std::string_view text) {
  // Whole lines only: the last one ends with its line break.
  if (text.empty() || text.back() != '\n') return std::nullopt;
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t nl = text.find('\n', start);
    std::string_view line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = nl + 1;
  }
  if (lines.size() < 3 || lines.front() != kJournalHeader) return std::nullopt;

  Journal j;
  const auto version = SplitTabs(lines[1]);
  if (version.size() != 2 || version[0] != "version") return std::nullopt;
  const auto number = ParseDecimal<int32_t>(version[1]);
  if (!number) return std::nullopt;
  j.version = *number;

  const auto end = SplitTabs(lines.back());
  if (end.size() != 2 || end[0] != "end") return std::nullopt;
  const auto count = ParseDecimal<size_t>(end[1]);
  if (!count || *count != lines.size() - 3) return std::nullopt;

  for (size_t i = 2; i + 1 < lines.size(); ++i) {
    const auto fields = SplitTabs(lines[i]);
    if (fields.size() == 2 && fields[0] == "folder" && j.files.empty()) {
      std::string folder(fields[1]);
      if (!RelativePathProblem(folder, true).empty()) return std::nullopt;
      j.folders.push_back(std::move(folder));
    } else if (fields.size() == 3 && fields[0] == "file") {
      StagedFile f{std::string(fields[2]), std::string(fields[1])};
      if (!IsStagedName(f.staged) || !RelativePathProblem(f.target, false).empty()) return std::nullopt;
      for (const auto& other : j.files) {
        if (profile::EqualNoCase(other.staged, f.staged)) return std::nullopt;
      }
      j.files.push_back(std::move(f));
    } else {
      return std::nullopt;
    }
  }
  return j;
}

// ---------------------------------------------------------------------------------

// One file put in place: what was there before, for a rollback.
struct Replaced {
  std::string target;  // full path
  std::string backup;  // full path, when there was a file before
  bool existed = false;
  DWORD attrs = 0;
};

// Keeps what is installed at `target` as `backup` (a second name for the same file,
// else a copy), then renames `staged` over it. On failure the installed file is as it
// was and `why` says what went wrong.
bool PutInPlace(const std::string& staged, const std::string& target, const std::string& backup,
                Replaced* done, std::string* why) {
  const std::wstring wtarget = W(target);
  const std::wstring wbackup = W(backup);
  const DWORD attrs = GetFileAttributesW(wtarget.c_str());
  const bool existed = attrs != INVALID_FILE_ATTRIBUTES;
  if (existed && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    *why = "目标位置是一个文件夹";
    return false;
  }
  if (existed) {
    if (!winapp::ForceDeleteFile(backup)) {
      *why = "无法删除暂存目录中旧的备份";
      return false;
    }
    if (!CreateHardLinkW(wbackup.c_str(), wtarget.c_str(), nullptr) &&
        !CopyFileW(wtarget.c_str(), wbackup.c_str(), FALSE)) {
      const DWORD code = GetLastError();
      *why = "无法备份：" + ReplaceProblem(code, target);
      return false;
    }
    if (attrs & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wtarget.c_str(), WithoutReadOnly(attrs));
  }
  if (!MoveFileExW(W(staged).c_str(), wtarget.c_str(), kReplace)) {
    const DWORD code = GetLastError();
    if (existed) {
      if (attrs & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wtarget.c_str(), attrs);
      winapp::ForceDeleteFile(backup);
    }
    *why = ReplaceProblem(code, target);
    return false;
  }
  *done = Replaced{target, existed ? backup : std::string(), existed, attrs};
  return true;
}

// Puts back what was installed before, newest first, and removes the folders that
// were made (those that are empty again). Returns the targets that could not be put
// back; each of them still holds a whole file, the new one.
std::vector<std::string> RollBack(const std::vector<Replaced>& done, const std::vector<std::string>& made) {
  std::vector<std::string> failed;
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    const std::wstring wtarget = W(it->target);
    if (it->existed) {
      const DWORD now = GetFileAttributesW(wtarget.c_str());
      if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(wtarget.c_str(), WithoutReadOnly(now));
      }
      if (MoveFileExW(W(it->backup).c_str(), wtarget.c_str(), kReplace)) {
        if (it->attrs & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wtarget.c_str(), it->attrs);
      } else {
        failed.push_back(it->target);
      }
    } else if (!winapp::ForceDeleteFile(it->target)) {
      failed.push_back(it->target);
    }
  }
  for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(W(*it).c_str());
  return failed;
}

// Makes the folders of `relative` that are missing. `made` gets the full paths of
// those made.
bool MakeFolders(const std::string& appDir, const std::vector<std::string>& relative,
                 std::vector<std::string>* made, std::string* what, std::string* why) {
  for (const auto& folder : relative) {
    const std::string path = appDir + folder;
    if (winapp::FolderExists(path)) continue;
    if (!CreateDirectoryW(W(path).c_str(), nullptr)) {
      const DWORD code = GetLastError();
      *what = folder;
      *why = code == ERROR_ALREADY_EXISTS ? "同名文件已存在" : SystemText(code);
      return false;
    }
    made->push_back(path);
  }
  return true;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Deletes what `dir` (with its separator) holds, and then `dir` itself, never anything
// whose path does not begin with `root`. A link to a folder elsewhere (a reparse
// point) is removed as a link, never followed.
void RemoveTree(const std::wstring& root, const std::wstring& dir) {
  if (!StartsWith(dir, root)) return;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((dir + L"*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name.empty() || name == L"." || name == L"..") continue;
      const std::wstring path = dir + name;
      if (!StartsWith(path, root) || path.size() <= root.size()) continue;
      const DWORD attrs = found.dwFileAttributes;
      if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(root, path + L"\\");
      } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
      } else {
        if (attrs & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(dir.substr(0, dir.size() - 1).c_str());
}

}  // namespace

// ---------------------------------------------------------------------------------

TStaging::TStaging(std::string appDir) : appDir_(WithSeparator(std::move(appDir))) {}

std::string TStaging::Folder() const {
  return appDir_ + kStagingFolder + "\\";
}

std::string TStaging::NameFor(int n) const {
  return "file" + std::to_string(n) + ".dat";
}

std::string TStaging::PathFor(int n) const {
  return Folder() + NameFor(n);
}

bool TStaging::Prepare(std::string* why) {
  std::string reason;
  if (appDir_.empty()) {
    reason = "安装目录为空";
  } else if (winapp::FileExists(Folder() + kJournalName)) {
    reason = "暂存目录中有未完成的安装";
  } else if (winapp::FileExists(appDir_ + kStagingFolder)) {
    reason = std::string(kStagingFolder) + " 是一个文件";
  } else {
    Remove();
    const std::wstring folder = W(Folder());
    if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS) {
      reason = "无法清空暂存目录";
    } else {
      reason = "无法创建暂存目录：" + SystemText(code);
    }
  }
  if (why) *why = reason;
  return false;
}

void TStaging::Remove() {
  if (appDir_.empty()) return;
  if (winapp::FileExists(Folder() + kJournalName)) return;
  const std::wstring root = W(Folder());
  if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  RemoveTree(root, root);
}

InstallResult TStaging::Install(const std::vector<StagedFile>& files, const std::vector<std::string>& folders,
                                int32_t version,
                                const std::function<void(int done, int total)>& afterEachMove) {
  InstallResult result;
  auto fail = [&result](std::string what, std::string why) {
    result.what = std::move(what);
    result.why = std::move(why);
    return result;
  };
  if (appDir_.empty()) return fail("", "安装目录为空");

  // Everything is checked before anything is touched.
  Journal journal;
  journal.version = version;
  for (const auto& folder : folders) {
    const std::string problem = RelativePathProblem(folder, true);
    if (!problem.empty()) return fail(folder, problem);
    if (!winapp::FolderExists(appDir_ + folder)) journal.folders.push_back(folder);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    const StagedFile& f = files[i];
    const std::string problem = RelativePathProblem(f.target, false);
    if (!problem.empty()) return fail(f.target, problem);
    if (!IsStagedName(f.staged)) return fail(f.target, "暂存文件名无效：" + f.staged);
    for (size_t k = 0; k < i; ++k) {
      if (profile::EqualNoCase(files[k].staged, f.staged))
        return fail(f.target, "暂存文件名重复：" + f.staged);
    }
    if (!winapp::FileExists(Folder() + f.staged)) return fail(f.target, "下载的文件不在暂存目录中");
  }
  journal.files = files;

  const std::string journalPath = Folder() + kJournalName;
  std::string why;
  if (!ReplaceWholeFile(Folder() + kJournalTemp, journalPath, FormatJournal(journal), &why)) {
    return fail(std::string(kStagingFolder) + "\\" + kJournalName, "无法写入安装记录：" + why);
  }

  // From here on a failure puts everything back.
  std::vector<std::string> made;
  std::vector<Replaced> done;
  auto rollBack = [&]() {
    const std::vector<std::string> stuck = RollBack(done, made);
    winapp::ForceDeleteFile(journalPath);
    if (stuck.empty()) {
      Remove();
    } else {
      // Those files hold the new content and their backups stay in the staging
      // folder; the version is still the old one, so the next update fetches again
      // whatever differs.
      result.why += "；未能还原：" + stuck.front().substr(appDir_.size());
      if (stuck.size() > 1) result.why += " 等" + std::to_string(stuck.size()) + "个文件";
    }
  };

  std::string what;
  if (!MakeFolders(appDir_, journal.folders, &made, &what, &why)) {
    fail(what, "无法创建目录：" + why);
    rollBack();
    return result;
  }
  const int total = static_cast<int>(files.size());
  for (int i = 0; i < total; ++i) {
    const StagedFile& f = files[static_cast<size_t>(i)];
    const std::string staged = Folder() + f.staged;
    Replaced replaced;
    if (!PutInPlace(staged, appDir_ + f.target, staged + kBackupSuffix, &replaced, &why)) {
      fail(f.target, why);
      rollBack();
      return result;
    }
    done.push_back(std::move(replaced));
    if (afterEachMove) afterEachMove(i + 1, total);
  }

  if (!WriteInstalledVersion(appDir_, version, &why)) {
    fail(kVersionFile, why);
    result.versionFailed = true;
    rollBack();
    return result;
  }

  // Done: the journal goes first, so a run cut short from here on finds nothing to
  // finish and only a staging folder to clear.
  winapp::ForceDeleteFile(journalPath);
  Remove();
  result.ok = true;
  return result;
}

Recovery CompleteInterruptedInstall(const std::string& appDir, std::string* why) {
  auto failed = [why](std::string text) {
    if (why) *why = std::move(text);
    return Recovery::kFailed;
  };
  TStaging staging(appDir);
  if (staging.AppDir().empty()) return failed("安装目录为空");
  const std::string journalPath = staging.Folder() + kJournalName;
  if (!winapp::FileExists(journalPath)) {
    staging.Remove();  // a download cut short, or a finished install's leftovers
    return Recovery::kNone;
  }

  // A journal that cannot be opened now (another program reads it) may be whole: it is
  // kept for the next run. One that can be read but is not ours is dropped below.
  io::InputFile file = io::InputFile::Open(journalPath);
  if (!file.IsOpen()) return failed("无法读取安装记录：" + file.LastError());
  std::string bytes;
  const int64_t size = file.Size();
  if (size >= 0 && static_cast<uint64_t>(size) <= kMaxJournalBytes) {
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    for (int64_t n; got < bytes.size() && (n = file.Read(&bytes[got], bytes.size() - got)) > 0;) {
      got += static_cast<size_t>(n);
    }
    if (got != bytes.size()) return failed("无法读取安装记录：" + file.LastError());
  }
  file.Close();
  const std::optional<Journal> journal =
      size >= 0 && static_cast<uint64_t>(size) <= kMaxJournalBytes ? ParseJournal(bytes) : std::nullopt;
  if (!journal) {
    // Not a journal we wrote. The installed version is still the old one (it is only
    // recorded after the last file), so the next update fetches again whatever differs.
    winapp::ForceDeleteFile(journalPath);
    staging.Remove();
    if (why) *why = "安装记录已损坏，已丢弃";
    return Recovery::kNone;
  }

  const std::string& dir = staging.AppDir();
  std::vector<std::string> made;
  std::string what;
  std::string reason;
  if (!MakeFolders(dir, journal->folders, &made, &what, &reason)) return failed(what + "：" + reason);
  for (const StagedFile& f : journal->files) {
    const std::string staged = staging.Folder() + f.staged;
    if (!winapp::FileExists(staged)) continue;  // put in place before the process ended
    Replaced replaced;
    if (!PutInPlace(staged, dir + f.target, staged + kBackupSuffix, &replaced, &reason)) {
      return failed(f.target + "：" + reason);
    }
  }
  if (!WriteInstalledVersion(dir, journal->version, &reason))
    return failed(std::string(kVersionFile) + "：" + reason);
  winapp::ForceDeleteFile(journalPath);
  staging.Remove();
  return Recovery::kCompleted;
}

bool WriteInstalledVersion(const std::string& appDir, int32_t version, std::string* why) {
  std::string reason;
  const bool ok = [&] {
    const std::string dir = WithSeparator(appDir);
    if (dir.empty()) {
      reason = "安装目录为空";
      return false;
    }
    std::string path = dir + kVersionFile;
    const DWORD attrs = GetFileAttributesW(W(path).c_str());
    std::string content;
    if (attrs == INVALID_FILE_ATTRIBUTES) {
      const DWORD code = GetLastError();
      if (code != ERROR_FILE_NOT_FOUND) {
        reason = SystemText(code);
        return false;
      }
      path = dir + kNewVersionFile;
    } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
      reason = "同名的文件夹挡住了版本文件";
      return false;
    } else {
      // The other entries of the file are kept, so it must be read whole first.
      std::string error;
      if (!io::ReadWholeFile(path, content, error)) {
        reason = "无法读取：" + error;
        return false;
      }
    }
    const std::string updated = profile::SetProfileValue(content, "ver", "lastVer", std::to_string(version));
    const bool readOnly = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesW(W(path).c_str(), WithoutReadOnly(attrs));
    if (!ReplaceWholeFile(dir + kVersionTemp, path, updated, &reason)) {
      if (readOnly) SetFileAttributesW(W(path).c_str(), attrs);
      return false;
    }
    if (readOnly) SetFileAttributesW(W(path).c_str(), attrs);
    if (!winapp::FileExists(path) || version::ReadVersionFile(path) != version) {
      reason = "写入后读出的版本不符";
      return false;
    }
    return true;
  }();
  if (!ok && why) *why = reason;
  return ok;
}

}  // namespace install
