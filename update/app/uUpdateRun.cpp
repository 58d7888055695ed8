#include "uUpdateRun.h"

#include <cstdio>
#include <vector>

#include "uFileDigest.h"
#include "uTxtTable.h"
#include "uUpdateLogic.h"
#include "uVersionFile.h"
#include "win/file_attributes.h"

namespace {

constexpr char kNoManifest[] = "版本信息为空或无法读取..";
constexpr char kNotComplete[] = "升级没有完成，已经保持原来的版本。下次启动时会再次尝试升级。";

}  // namespace

TUpdateRun::TUpdateRun(IFileDownLoadClient& client, IUpdateRunSink& sink, std::string appDir)
    : client_(client), sink_(sink), appDir_(std::move(appDir)) {}

std::string TUpdateRun::DownloadFailure() const {
  return "（" + updatelogic::DownloadFailureText(client_.GetLastFailure()) + "）";
}

TUpdateRun::Check TUpdateRun::CheckForNewVersion() {
  sink_.ShowStatus("正在获得版本信息..");
  // Before the dialog shows there is nothing to cancel with: the check is bounded in
  // size and in time, whatever the server does.
  client_.SetLimits(kMaxVersionFileBytes, versionCheckMs_);
  const bool fetched = client_.DownloadFile("LastVer.txt", TempFile().c_str()) != FALSE;
  client_.SetLimits(0, 0);
  if (!fetched) {
    sink_.Log("获取版本信息失败.." + DownloadFailure());
    return Check::kFailed;
  }
  if (IsRemoteVersionNewer(TempFile())) return Check::kNewer;
  sink_.Log("没有发现新版本");
  return Check::kUpToDate;
}

bool TUpdateRun::IsRemoteVersionNewer(const std::string& path) {
  if (!winapp::FileExists(path)) return true;
  remoteVersion_ = version::ReadVersionFile(path);
  const int32_t local = version::ReadVersionFile(appDir_ + "lastVer.txt");
  return local < remoteVersion_;
}

TUpdateRun::Outcome TUpdateRun::Fail(const std::string& logLine) {
  sink_.Log(logLine);
  sink_.Tell(kNotComplete);
  return Outcome::kFailed;
}

TUpdateRun::Outcome TUpdateRun::Cancelled(install::TStaging& staging) {
  staging.Remove();
  sink_.Log(">>升级已取消，已经保持原来的版本");
  return Outcome::kCancelled;
}

TUpdateRun::Outcome TUpdateRun::Run() {
  // An install that a killed process left half done is finished first: its files are
  // verified already, and the installation must not stay mixed.
  std::string why;
  switch (install::CompleteInterruptedInstall(appDir_, &why)) {
    case install::Recovery::kNone:
      if (!why.empty()) sink_.Log(">>" + why);  // a record that could not be read was dropped
      break;
    case install::Recovery::kCompleted: sink_.Log(">>上次未完成的升级已经完成"); break;
    case install::Recovery::kFailed: return Fail(">>上次未完成的升级无法完成：" + why);
  }

  // The manifest.
  client_.SetLimits(kMaxManifestBytes, 0);
  const bool fetched = client_.DownloadFile("Versions.txt", TempFile().c_str()) != FALSE;
  client_.SetLimits(0, 0);
  if (!fetched) {
    if (cancelled_) return Outcome::kCancelled;
    sink_.Log("下载失败：Versions.txt" + DownloadFailure());
    sink_.Tell("下载版本信息失败..");
    return Outcome::kNoManifest;
  }
  TTxtTable manifest;
  std::string problem;
  try {
    manifest.LoadFromFile(TempFile());
    problem = updatelogic::ManifestProblem(manifest);
  } catch (const TTxtTableError& e) {
    problem = e.what();
  }
  if (!problem.empty()) {
    // A page of the wrong kind, a manifest cut short or one that would touch the
    // updater itself: nothing is done with any of it.
    sink_.Log(kNoManifest + std::string("（") + problem + "）");
    sink_.Tell(kNoManifest);
    return Outcome::kNoManifest;
  }
  sink_.Log("下载版本信息成功");
  sink_.Log(">>启动待升级文件分析");

  // The analysis: which files differ from the manifest (the one digest comparison
  // that the check of a download uses too). The window is served between and during
  // the digests, so it stays live over a large installation.
  std::vector<std::string> folders;
  struct Change {
    std::string name;
    std::string digest;
  };
  std::vector<Change> changes;
  for (manifest.First(); !manifest.Eof(); manifest.Next()) {
    const std::string name = manifest.GetValue(1);
    const std::string digest = manifest.GetValue(2);
    if (name.empty()) continue;
    if (digest.empty()) {
      if (!winapp::FolderExists(appDir_ + name)) folders.push_back(name);
      continue;
    }
    if (!sink_.KeepGoing() || cancelled_) return Outcome::kCancelled;
    // A digest given up because the run is to stop is no digest of a changed file:
    // whether the stop came from Cancel or from the sink, the analysis ends here.
    bool stopped = false;
    const std::optional<std::string> installed = FileMd5(appDir_ + name, [this, &stopped] {
      stopped = !sink_.KeepGoing() || cancelled_;
      return !stopped;
    });
    if (stopped || cancelled_) return Outcome::kCancelled;
    if (!updatelogic::DigestMatches(installed, digest)) changes.push_back({name, digest});
  }
  char line[96];
  std::snprintf(line, sizeof line, ">>分析成功，有%d个文件需要更新", static_cast<int>(changes.size()));
  sink_.Log(line);

  // The downloads, each into the staging folder and checked there.
  install::TStaging staging(appDir_);
  if (!staging.Prepare(&why)) return Fail(">>暂存目录无法建立：" + why);
  std::vector<install::StagedFile> staged;
  for (size_t i = 0; i < changes.size(); ++i) {
    const Change& c = changes[i];
    const std::string shown = updatelogic::DisplayName(c.name);
    if (!sink_.KeepGoing() || cancelled_) return Cancelled(staging);
    sink_.ShowFile(shown, static_cast<int>(i) + 1, static_cast<int>(changes.size()));
    sink_.Log(">>下载文件：" + shown);
    const std::string local = staging.PathFor(static_cast<int>(i));
    if (!client_.DownloadFile(c.name.c_str(), local.c_str())) {
      if (cancelled_) return Cancelled(staging);
      staging.Remove();
      return Fail(">>下载失败：" + c.name + DownloadFailure());
    }
    if (!updatelogic::DigestMatches(FileMd5(local), c.digest)) {
      staging.Remove();
      return Fail(">>文件校验失败：" + c.name + "（与版本信息不符）");
    }
    staged.push_back({c.name, staging.NameFor(static_cast<int>(i))});
  }
  if (!sink_.KeepGoing() || cancelled_) return Cancelled(staging);

  // Every file is here and verified: now they go in place, all or none, and the
  // version with them.
  for (const std::string& f : folders) sink_.Log(">>创建目录 " + f);
  const install::InstallResult done = staging.Install(
      staged, folders, remoteVersion_, [this](int n, int total) { sink_.Installed(n, total); });
  if (!done.ok) {
    if (done.versionFailed) return Fail(">>版本写入失败（" + done.why + "）");
    return Fail(">>文件替换失败：" + done.what + "（" + done.why + "）");
  }
  winapp::ForceDeleteFile(TempFile());
  sink_.Log(">>>>升级完成");
  return Outcome::kComplete;
}
