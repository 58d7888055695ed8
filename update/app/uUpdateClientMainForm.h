// The updater's dialog "自动升级": it shows the update run (uUpdateRun.h) that it
// carries out, with progress and cancel, and starts the target program again at the
// end. It is the run's sink: the log, the labels, the boxes, the served messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include <memory>

#include "uFileTrans_Intf.h"
#include "uIOCP_Intf.h"
#include "uUpdateRun.h"
#include "win/base_window.h"
#include "win/com_ptr.h"

class TForm1 : public winapp::BaseWindow, private IUpdateRunSink {
 public:
  // Makes the download client (throwing when the transport gives none), then the
  // dialog, hidden: nothing that can throw comes after the window. `factory` gives the
  // download client its transport; `appDir` (GBK, with a trailing backslash) replaces
  // the program's own folder, for tests.
  explicit TForm1(TGetIOCPClientClass factory, const std::string& appDir = std::string());
  ~TForm1() override;

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
  int32_t RemoteVersion() const { return FRun ? FRun->RemoteVersion() : 0; }
  // What the process ends with: 0 after a complete update (or nothing to do), 1 after
  // a failed one, 2 after a cancelled one.
  int ExitCode() const { return exitCode_; }
  // The texts of the controls, as GBK, for tests.
  std::string ControlText(HWND control) const;
  HWND Memo() const { return Memo1; }
  HWND SpeedLabel() const { return L_Speed; }
  HWND TickLabel() const { return L_Tick; }
  HWND ProgressBar() const { return ProgressBar1; }
  void SetStartTick(uint32_t tick) { FStartTick = tick; }

 private:
  void FormCreate();
  void FormDestroy();
  void Timer1Timer();
  void CreateControls();
  void FixPaths();
  void AppendLog(const std::string& line);
  void SetText(HWND control, const std::string& gbk, bool repaint);
  // Serves pending window messages; false once the message loop is to end.
  bool ProcessMessages();
  void DrawCancelButton(const DRAWITEMSTRUCT& item);
  void Box(const std::string& text);

  // IUpdateRunSink
  void Log(const std::string& line) override { AppendLog(line); }
  void ShowStatus(const std::string& text) override { SetText(L_FileName, text, true); }
  void ShowFile(const std::string& name, int number, int count) override;
  bool KeepGoing() override { return ProcessMessages() && !FCancelled; }
  void Tell(const std::string& text) override { Box(text); }

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

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
  std::unique_ptr<TUpdateRun> FRun;
  bool FCancelled = false;
  int32_t FCurrentFile = 0;
  int32_t FFileCount = 0;
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
  int exitCode_ = 0;
};
