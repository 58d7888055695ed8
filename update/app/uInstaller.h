// The installation's side of an update: whole or nothing.
//
// Downloads land in a staging folder inside the installation ("update.staging\"), one
// file per changed manifest row, and are verified there. Only when every one of them
// is there and verified are they put in place:
//
//   1. a journal ("update.staging\journal.txt", written to a temporary name and
//      renamed) lists the version and, per file, its installation path and staged name;
//   2. folders the manifest lists that are missing are made;
//   3. per file, what is installed is kept as a backup in the staging folder (a hard
//      link, else a copy), then the staged file is renamed over the installed one, so
//      the installed path always holds a whole file, old or new;
//   4. if a step fails, every file replaced so far gets its backup back (a file that
//      was new is removed again, so are the folders made), the journal goes, and the
//      installation is exactly as before;
//   5. otherwise the version is written to "lastVer.txt" (temporary file, then
//      replace) and read back; then the journal and the staging folder go.
//
// A process killed during step 3 or 5 leaves the journal: the next run finishes the
// install from it (every file whose staged copy is still there is put in place, then
// the version is written), because the journal is only written once every staged file
// has been verified.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace install {

// The staging folder's name inside the installation; manifests may not use it.
constexpr char kStagingFolder[] = "update.staging";

struct StagedFile {
  std::string target;  // path relative to the installation, as the manifest names it (GBK)
  std::string staged;  // file name inside the staging folder
};

struct InstallResult {
  bool ok = false;
  // On failure: the file or step that failed (a manifest path, or "lastVer.txt") and
  // why, in words for the log.
  std::string what;
  std::string why;
  // Whether the version could not be written (the files are back as they were then).
  bool versionFailed = false;
};

class TStaging {
 public:
  // `appDir`: the installation folder, GBK, with its trailing backslash.
  explicit TStaging(std::string appDir);

  const std::string& AppDir() const { return appDir_; }
  std::string Folder() const;  // with its trailing backslash
  // An empty staging folder, made anew. False, with the reason, when it cannot be made.
  // A folder holding a journal is left alone (CompleteInterruptedInstall first).
  bool Prepare(std::string* why);
  // Where the download of the n-th changed file (0-based) goes.
  std::string PathFor(int n) const;
  std::string NameFor(int n) const;
  // Removes the staging folder with everything in it (not when it holds a journal).
  void Remove();

  // Puts the staged files in place as described above, making `folders` (relative
  // paths, parents before children, as the manifest lists them) first, then writes
  // `version`. `afterEachMove`, when set, is called after each file has been put in
  // place with its 1-based number (for progress, and for tests that cut a run short).
  InstallResult Install(const std::vector<StagedFile>& files, const std::vector<std::string>& folders,
                        int32_t version, const std::function<void(int done, int total)>& afterEachMove = {});

 private:
  std::string appDir_;
};

enum class Recovery {
  kNone,       // no journal: nothing was cut short
  kCompleted,  // an install cut short has been finished; its version is recorded
  kFailed,     // there was one, but it could not be finished (see `why`)
};

// Finishes an install that a killed process left half done; to be called before a run
// touches the installation.
Recovery CompleteInterruptedInstall(const std::string& appDir, std::string* why);

// Writes `version` into the installation's version file ("lastVer.txt", found in any
// letter case, else created as "lastver.txt") through a temporary file that replaces
// it, and reads it back. False, with the reason, when it did not hold afterwards.
bool WriteInstalledVersion(const std::string& appDir, int32_t version, std::string* why);

}  // namespace install
