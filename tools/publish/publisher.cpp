#include "publisher.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/gbk_iconv.h"
#include "uFileDigest.h"
#include "uVersionFile.h"
#include "wire/uFileTrans_Struc.h"

namespace fs = std::filesystem;

namespace publish {

namespace {

constexpr const char* kTempSuffix = ".publish-tmp";

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// What makes a name unusable on the clients, or the manifest unreadable.
std::string NameProblem(const std::string& name) {
  for (unsigned char c : name) {
    if (c == 0x15) return "contains the byte 0x15, the manifest's separator";
    if (c == '\r' || c == '\n') return "contains a line break";
    if (c == ':') return "contains \":\"";
    if (c == '\\') return "contains \"\\\", which Windows reads as a folder separator";
    if (c < 0x20) return "contains a control character";
    if (std::strchr("<>\"|?*", c) != nullptr) return std::string("contains \"") + static_cast<char>(c) +
                                                     "\", which Windows cannot have in a name";
  }
  if (!name.empty() && (name.back() == ' ' || name.back() == '.')) {
    return "ends with a space or a dot, which Windows cannot have in a name";
  }
  return std::string();
}

bool Excluded(const std::string& rel, const std::string& name, bool topLevel, const Options& options) {
  if (topLevel && IsReservedTopLevelName(name)) return true;
  if (name.size() > std::strlen(kTempSuffix) &&
      name.compare(name.size() - std::strlen(kTempSuffix), std::string::npos, kTempSuffix) == 0)
    return true;
  for (const auto& pattern : options.excludes) {
    if (fnmatch(pattern.c_str(), rel.c_str(), 0) == 0 || fnmatch(pattern.c_str(), name.c_str(), 0) == 0)
      return true;
  }
  return false;
}

struct Scan {
  std::vector<Entry> entries;
  std::vector<std::string> problems;
};

void ScanFolder(const fs::path& root, const std::string& relDir, const std::string& gbkDir,
                const Options& options, Scan& scan) {
  std::vector<std::string> names;
  std::error_code ec;
  const fs::path dir = relDir.empty() ? root : root / relDir;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  if (ec) {
    scan.problems.push_back((relDir.empty() ? "." : relDir) + ": cannot list: " + ec.message());
    return;
  }
  std::sort(names.begin(), names.end());

  for (const auto& name : names) {
    const std::string rel = relDir.empty() ? name : relDir + "/" + name;
    if (Excluded(rel, name, relDir.empty(), options)) continue;

    struct stat st;
    if (::lstat((root / rel).c_str(), &st) != 0) {
      scan.problems.push_back(rel + ": " + std::strerror(errno));
      continue;
    }
    const bool isDir = S_ISDIR(st.st_mode);
    if (!isDir && !S_ISREG(st.st_mode)) {
      scan.problems.push_back(rel + ": not a regular file or folder (links are not published)");
      continue;
    }

    Entry e;
    e.isFolder = isDir;
    e.hostPath = rel;
    e.fPath = gbkDir;
    std::string gbkName;
    if (const std::string why = NameProblem(name); !why.empty()) {
      scan.problems.push_back(rel + ": the name " + why);
    } else if (!host::Utf8ToGbk(name, gbkName)) {
      scan.problems.push_back(rel + ": the name cannot be written in GBK");
    } else {
      e.fFileName = gbkDir + gbkName;
      if (e.fFileName.size() > filetrans::kPathRoom) {
        scan.problems.push_back(rel + ": the name is " + std::to_string(e.fFileName.size()) +
                                " bytes in GBK; the updater can ask for at most " +
                                std::to_string(filetrans::kPathRoom));
      }
    }
    e.size = isDir ? 0 : static_cast<uint64_t>(st.st_size);
    scan.entries.push_back(e);
    // A folder's row comes before everything inside it.
    if (isDir) ScanFolder(root, rel, e.fFileName + "\\", options, scan);
  }
}

bool WriteFileAtomically(const fs::path& target, const std::string& content, std::string& error) {
  const fs::path temp = target.parent_path() / ("." + target.filename().string() + kTempSuffix);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = temp.string() + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = temp.string() + ": " + std::strerror(errno);
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  // On disk before it takes the real name: a crash leaves the old file or the new one.
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    error = temp.string() + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    error = target.string() + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

bool IsReservedTopLevelName(const std::string& name) {
  static const char* const kReserved[] = {"update.exe", "update.ini", "lastver.txt", "temp.dat", "versions.txt"};
  const std::string lower = Lower(name);
  return std::any_of(std::begin(kReserved), std::end(kReserved), [&](const char* r) { return lower == r; });
}

std::string ManifestText(const std::vector<Entry>& entries) {
  const char sep = '\x15';
  std::string text = std::string("fPath") + sep + "fFileName" + sep + "fmd5\r\n";
  for (const auto& e : entries) {
    text += e.fPath + sep + e.fFileName;
    if (!e.isFolder) text += sep + e.fmd5;
    text += "\r\n";
  }
  return text;
}

Result Publish(const Options& options) {
  Result result;
  const fs::path root(options.folder);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    result.problems.push_back(options.folder + ": not a folder");
    return result;
  }

  result.previousVersion = version::ReadVersionFile((root / kVersionName).string());
  if (options.version < 1) {
    result.problems.push_back("the version must be at least 1 (an installation without a version file counts as 0)");
  } else if (options.version <= result.previousVersion && !options.force) {
    result.problems.push_back("version " + std::to_string(options.version) + " is not above the published version " +
                              std::to_string(result.previousVersion) + " (use --force to publish it anyway)");
  }

  Scan scan;
  ScanFolder(root, "", "", options, scan);
  result.problems.insert(result.problems.end(), scan.problems.begin(), scan.problems.end());
  if (!result.problems.empty()) return result;

  uint64_t totalBytes = 0;
  uint64_t totalFiles = 0;
  for (const auto& e : scan.entries) {
    if (!e.isFolder) {
      totalBytes += e.size;
      ++totalFiles;
    }
  }
  using Clock = std::chrono::steady_clock;
  auto lastReport = Clock::now();
  for (auto& e : scan.entries) {
    if (e.isFolder) {
      ++result.folders;
      continue;
    }
    const std::optional<std::string> digest = FileMd5((root / e.hostPath).string());
    e.fmd5 = e.size == 0 ? kEmptyMd5 : digest.value_or(std::string());
    if (!digest || e.fmd5.empty()) {
      result.problems.push_back(e.hostPath + ": cannot be read");
      continue;
    }
    ++result.files;
    result.bytes += e.size;
    if (options.progress && Clock::now() - lastReport >= std::chrono::seconds(1)) {
      lastReport = Clock::now();
      options.progress("digested " + std::to_string(result.files) + " of " + std::to_string(totalFiles) +
                       " files, " + std::to_string(result.bytes >> 20) + " of " +
                       std::to_string(totalBytes >> 20) + " MiB");
    }
  }
  if (!result.problems.empty()) return result;

  std::string error;
  // The manifest first and the version last: a client that sees the new number finds
  // the manifest that goes with it.
  if (!WriteFileAtomically(root / kManifestName, ManifestText(scan.entries), error) ||
      !WriteFileAtomically(root / kVersionName, "[ver]\r\nLastVer=" + std::to_string(options.version) + "\r\n",
                           error)) {
    result.problems.push_back(error);
    return result;
  }
  SyncFolder(root);
  result.entries = std::move(scan.entries);
  result.ok = true;
  return result;
}

}  // namespace publish
