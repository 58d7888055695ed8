// The updater's dialog "自动升级" and the update run it carries out: version check,
// manifest, analysis, downloads with progress and cancel, recording the version, and
// starting the target program again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "uFileTrans_Intf.h"
#include "uIOCP_Intf.h"
#include "win/com_ptr.h"

class TForm1 {
 public:
  // Creates the dialog hidden and runs the creation handler. `factory` gives the
  // download client its transport; `appDir` (GBK, with a trailing backslash) replaces
  // the program's own folder, for tests.
  explicit TForm1(TGetIOCPClientClass factory, const std::string& appDir = std::string());
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return hwnd_; }

  bool CheckForNewVersion();
  bool IsRemoteVersionNewer(const std::string& path);
  void RunUpdate();
  void ShowDownloadProgress(int32_t total, int32_t received);
  void Btn_CancelClick();
  void SaveLocalVersion(int32_t version);
  void StartTargetProgram();
  static bool ForceDeleteFile(const std::string& path);

  // Shows the dialog and arms the one-shot 200-ms timer that starts the run.
  void ShowAndStartTimer();
  // Hides the dialog and ends the message loop.
  void Close();
  bool IsClosed() const { return closed_; }

  const std::string& ExeName() const { return FExeName; }
  int32_t RemoteVersion() const { return FRemoteVersion; }
  // The texts of the controls, as GBK, for tests.
  std::string ControlText(HWND control) const;
  HWND Memo() const { return Memo1; }
  HWND SpeedLabel() const { return L_Speed; }
  HWND TickLabel() const { return L_Tick; }
  HWND ProgressBar() const { return ProgressBar1; }
  void SetStartTick(uint32_t tick) { FStartTick = tick; }

 private:
  void FormCreate(TGetIOCPClientClass factory);
  void FormDestroy();
  void Timer1Timer();
  void CreateControls();
  void FixPaths();
  void AppendLog(const std::string& line);
  void SetText(HWND control, const std::string& gbk, bool repaint);
  // Ends a run that cannot go on: logs why, records nothing and closes the dialog.
  void FailRun(const std::string& logLine);
  bool ReplaceInstalledFile(const std::string& path);
  // Serves pending window messages; false once the message loop is to end.
  bool ProcessMessages();
  void DrawCancelButton(const DRAWITEMSTRUCT& item);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  HWND Image2 = nullptr;
  HWND Panel1 = nullptr;
  HWND Memo1 = nullptr;
  HWND GroupBox1 = nullptr;
  HWND L_NeedDowCount = nullptr;
  HWND L_FileName = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND L_SpeedCaption = nullptr;  // the control named "__L_Speed"
  HWND L_Speed = nullptr;
  HWND L_Tick = nullptr;
  HWND Btn_Cancel = nullptr;
  HFONT font_ = nullptr;
  HFONT bannerFont_ = nullptr;
  HBITMAP image2Bitmap_ = nullptr;
  HBITMAP glyph_ = nullptr;

  ComPtr<IFileDownLoadClient> FDownloadClient;
  bool FCancelled = false;
  int32_t FCurrentFile = 0;
  int32_t FFileCount = 0;
  int32_t FRemoteVersion = 0;
  uint32_t FStartTick = 0;
  std::string FAppDir;
  std::string FTempFile;
  std::string FExeName;

  std::string appDirOverride_;
  std::wstring iniPath_;
  bool closed_ = false;
  // What the progress controls show now, so a block that changes nothing costs nothing.
  int32_t shownPercent_ = 0;
  std::string shownSpeed_;
  std::string shownTick_;
  DWORD lastRepaint_ = 0;
  bool running_ = false;
};
