// Publishing a folder for the updater: its manifest "Versions.txt" and its version
// file "LastVer.txt", written so that no client ever sees a version number before
// the manifest it belongs to is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace publish {

struct Options {
  std::string folder;
  int32_t version = 0;
  bool force = false;                 // publish even when not above the published version
  std::vector<std::string> excludes;  // shell patterns, matched against the relative path and the name
  // Called with a progress line now and then while files are digested.
  std::function<void(const std::string&)> progress;
};

// One row of the manifest.
struct Entry {
  bool isFolder = false;
  std::string hostPath;  // relative, host name bytes, '/' between parts
  std::string fPath;     // GBK: folder part of fFileName with its trailing backslash, "" at the top
  std::string fFileName; // GBK, relative, backslashes
  std::string fmd5;      // empty for a folder
  uint64_t size = 0;
};

struct Result {
  bool ok = false;
  std::vector<std::string> problems;  // why nothing was written
  std::vector<Entry> entries;
  int32_t previousVersion = 0;
  uint64_t files = 0;
  uint64_t folders = 0;
  uint64_t bytes = 0;
};

inline constexpr const char* kManifestName = "Versions.txt";
inline constexpr const char* kVersionName = "LastVer.txt";
// The digest of no bytes: an empty file's fmd5, so that its row is still a file row.
inline constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

Result Publish(const Options& options);

// The manifest text for the entries, header first, CR LF line ends.
std::string ManifestText(const std::vector<Entry>& entries);

// Names the updater keeps for itself at the top of an installation, never published.
bool IsReservedTopLevelName(const std::string& name);

}  // namespace publish
