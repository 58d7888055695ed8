// The update run, without a window: the version check, the manifest, the analysis of
// the installed files, the downloads into the staging folder with their checks, the
// install (whole or nothing, see uInstaller.h) and the version. It reports to a small
// sink, which the dialog TForm1 implements and tests replace.
//
// It never records a version it did not install whole, and never ends a failure
// quietly: every failure is a log line that names what failed and why, then the sink
// is asked to tell the user, and the outcome says so.
#pragma once

#include <cstdint>
#include <string>

#include "uFileTrans_Intf.h"
#include "uInstaller.h"

class IUpdateRunSink {
 public:
  virtual ~IUpdateRunSink() = default;
  // A line for the log (Memo1).
  virtual void Log(const std::string& line) = 0;
  // The status shown in the file label (L_FileName), repainted at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // The file being fetched now: display name, number (1-based) and count.
  virtual void ShowFile(const std::string& name, int number, int count) = 0;
  // Serves the window's messages; false when the run is to stop (cancel, close).
  virtual bool KeepGoing() = 0;
  // Tells the user what went wrong, and waits until they have read it (a box).
  virtual void Tell(const std::string& text) = 0;
  // After each file has been put in place.
  virtual void Installed(int done, int total) {
    (void)done;
    (void)total;
  }
};

class TUpdateRun {
 public:
  // The limits that keep a hostile or broken server from holding the updater.
  static constexpr int32_t kMaxVersionFileBytes = 4 * 1024;
  static constexpr uint32_t kVersionCheckMs = 30000;
  static constexpr int32_t kMaxManifestBytes = 16 * 1024 * 1024;

  // `appDir`: the installation folder (GBK, with its trailing backslash).
  TUpdateRun(IFileDownLoadClient& client, IUpdateRunSink& sink, std::string appDir);

  // The version check's time limit in all (kVersionCheckMs unless changed; tests
  // shorten it so that a silent server need not be waited out).
  void SetVersionCheckMs(uint32_t ms) { versionCheckMs_ = ms; }

  enum class Check { kNewer, kUpToDate, kFailed };
  // Fetches the server's "LastVer.txt" into "temp.dat" (at most 4 KiB, 30 s in all) and
  // compares it with the installed version.
  Check CheckForNewVersion();
  // Whether the version file at `path` names a version above the installed one; sets
  // RemoteVersion. A missing file counts as newer, with version 0.
  bool IsRemoteVersionNewer(const std::string& path);
  int32_t RemoteVersion() const { return remoteVersion_; }

  enum class Outcome {
    kComplete,    // every changed file installed and the version recorded (or nothing to do)
    kFailed,      // nothing changed (or an interrupted install could not be finished)
    kCancelled,   // stopped by the user; nothing changed
    kNoManifest,  // the manifest could not be fetched or is none; nothing changed
  };
  Outcome Run();

  // What the user asked: stop at the next chance. The dialog also stops the client.
  void Cancel() { cancelled_ = true; }
  bool Cancelled() const { return cancelled_; }

  std::string TempFile() const { return appDir_ + "temp.dat"; }

 private:
  Outcome Fail(const std::string& logLine);
  Outcome Cancelled(install::TStaging& staging);
  // "（连接中断）" and the like: why the client's last download failed.
  std::string DownloadFailure() const;

  IFileDownLoadClient& client_;
  IUpdateRunSink& sink_;
  std::string appDir_;
  int32_t remoteVersion_ = 0;
  uint32_t versionCheckMs_ = kVersionCheckMs;
  bool cancelled_ = false;
};
