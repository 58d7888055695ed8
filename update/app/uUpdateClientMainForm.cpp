#include "uUpdateClientMainForm.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>

#include "resource.h"
#include "uFileDigest.h"
#include "uFileDownloadClient.h"
#include "uInstaller.h"
#include "uTxtTable.h"
#include "uUpdateLogic.h"
#include "uVersionFile.h"
#include "win/controls.h"
#include "win/file_attributes.h"
#include "win/gbk_text.h"
#include "win/message_pump.h"
#include "win/module_path.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr UINT_PTR kTimer1 = 1;
constexpr int kBtnCancelId = 100;
constexpr uint16_t kServerPort = 6001;
// The client area and its place on the screen.
constexpr int kClientWidth = 450, kClientHeight = 272, kLeft = 482, kTop = 258;

std::wstring W(const std::string& gbk) {
  return gbk::ToWide(gbk);
}

std::string ReadIni(const std::wstring& ini, const wchar_t* key, const wchar_t* def) {
  wchar_t buf[1024] = {};
  GetPrivateProfileStringW(L"update", key, def, buf, 1024, ini.c_str());
  return gbk::FromWide(buf);
}

HWND MakeControl(HWND parent, const wchar_t* cls, const std::string& gbkText, DWORD style, DWORD exStyle,
                 int x, int y, int w, int h, const wchar_t* name, HFONT font, int id = 0) {
  return winapp::CreateControl(parent, {cls, gbkText, style, exStyle, x, y, w, h, name, font, id});
}

// The group box's labels ask it for their colours; they sit on the button face.
LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wp);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void InitCommonControlsOnce() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  done = true;
}

}  // namespace

TForm1::TForm1(TGetIOCPClientClass factory, const std::string& appDir) : appDirOverride_(appDir) {
  // Everything that can fail comes before the window: a window must never hold a
  // pointer to an object that was never finished.
  FDownloadClient = NewFileDownLoadClient(factory);
  FDownloadClient->SetOnProgress(EventThunk<&TForm1::ShowDownloadProgress>::Bind(this));
  InitCommonControlsOnce();
  RECT r{0, 0, kClientWidth, kClientHeight};
  // A fixed dialog frame with a caption and no title-bar buttons: the user leaves
  // through Btn_Cancel (or Esc).
  const DWORD style = WS_POPUP | WS_CAPTION;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  winapp::WindowClassOptions cls;
  cls.background = GetSysColorBrush(COLOR_BTNFACE);
  CreateBaseWindow(kWindowClass, cls, exStyle, W("自动升级").c_str(), style, kLeft + r.left, kTop + r.top,
                   r.right - r.left, r.bottom - r.top, nullptr);
  // Every wait of this thread (the downloads, the digests) serves the dialog's keys.
  winapp::SetKeyboardDialog(Handle());
  CreateControls();
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  winapp::SetKeyboardDialog(nullptr);
  DestroyBaseWindow();
  if (font_) DeleteObject(font_);
  if (bannerFont_) DeleteObject(bannerFont_);
  if (image2Bitmap_) DeleteObject(image2Bitmap_);
  if (glyph_) DeleteObject(glyph_);
}

void TForm1::CreateControls() {
  font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  bannerFont_ = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
  const HINSTANCE inst = GetModuleHandleW(nullptr);
  image2Bitmap_ = static_cast<HBITMAP>(LoadImageW(inst, MAKEINTRESOURCEW(IDB_IMAGE2), IMAGE_BITMAP, 0, 0, 0));
  glyph_ = static_cast<HBITMAP>(LoadImageW(inst, MAKEINTRESOURCEW(IDB_CANCEL_GLYPH), IMAGE_BITMAP, 0, 0, 0));

  Image2 = MakeControl(Handle(), L"STATIC", "", SS_BITMAP, 0, 1, 3, 115, 229, L"Image2", nullptr);
  SendMessageW(Image2, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image2Bitmap_));
  Panel1 = MakeControl(Handle(), L"STATIC", "自动升级进行中，请稍候。。。", SS_CENTER | SS_CENTERIMAGE,
                       WS_EX_STATICEDGE, 127, 7, 300, 33, L"Panel1", bannerFont_);
  Memo1 = MakeControl(Handle(), L"EDIT", "", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 128, 50, 300, 87,
                      L"Memo1", font_);
  GroupBox1 = MakeControl(Handle(), L"BUTTON", "", BS_GROUPBOX, 0, 128, 144, 301, 74, L"GroupBox1", font_);
  // The group box holds its five items: they are its children, placed relative to it.
  SetWindowSubclass(GroupBox1, &GroupBoxProc, 0, 0);
  L_NeedDowCount =
      MakeControl(GroupBox1, L"STATIC", "第0个/共0个", 0, 0, 9, 13, 108, 14, L"L_NeedDowCount", font_);
  L_FileName = MakeControl(GroupBox1, L"STATIC", "当前下载文件：", SS_ENDELLIPSIS, 0, 121, 14, 176, 14,
                           L"L_FileName", font_);
  ProgressBar1 = MakeControl(GroupBox1, PROGRESS_CLASSW, "", 0, 0, 8, 32, 281, 13, L"ProgressBar1", nullptr);
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
  L_SpeedCaption = MakeControl(GroupBox1, L"STATIC", "进度：", 0, 0, 8, 52, 40, 14, L"__L_Speed", font_);
  L_Speed = MakeControl(GroupBox1, L"STATIC", "0  KB/0  KB", 0, 0, 48, 52, 136, 14, L"L_Speed", font_);
  L_Tick = MakeControl(GroupBox1, L"STATIC", "已用时间：0秒", 0, 0, 189, 51, 108, 14, L"L_Tick", font_);
  Btn_Cancel = MakeControl(Handle(), L"BUTTON", "停止升级", BS_OWNERDRAW | WS_TABSTOP, 0, 315, 228, 111, 33,
                           L"Btn_Cancel", font_, kBtnCancelId);
}

void TForm1::FixPaths() {
  FAppDir = appDirOverride_.empty() ? winapp::ProgramFolder() : appDirOverride_;
  FTempFile = FAppDir + "temp.dat";
}

void TForm1::FormCreate() {
  std::wstring exe = winapp::ModuleFileName();
  const size_t dot = exe.find_last_of(L'.');
  const size_t slash = exe.find_last_of(L"\\/");
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) exe.erase(dot);
  iniPath_ = exe + L".ini";
  FixPaths();
  FRun = std::make_unique<TUpdateRun>(*FDownloadClient.get(), static_cast<IUpdateRunSink&>(*this), FAppDir);
  if (GetFileAttributesW(iniPath_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  FExeName = ReadIni(iniPath_, L"ExeName", L"Halvo.exe");
  const std::string host = ReadIni(iniPath_, L"host", L"");
  FDownloadClient->SetServer(host.c_str(), kServerPort);
}

void TForm1::FormDestroy() {
  FRun.reset();  // it uses the client
  FDownloadClient.Reset();
  if (!FTempFile.empty()) ForceDeleteFile(FTempFile);
}

bool TForm1::CheckForNewVersion() {
  if (GetFileAttributesW(iniPath_.c_str()) == INVALID_FILE_ATTRIBUTES || !FDownloadClient) return false;
  if (ReadIni(iniPath_, L"host", L"").empty()) return false;
  const TUpdateRun::Check check = FRun->CheckForNewVersion();
  // A check that could not be made is no update done: the process says so.
  if (check == TUpdateRun::Check::kFailed) exitCode_ = 1;
  return check == TUpdateRun::Check::kNewer;
}

bool TForm1::IsRemoteVersionNewer(const std::string& path) {
  return FRun->IsRemoteVersionNewer(path);
}

void TForm1::SaveLocalVersion(int32_t version) {
  std::string why;
  if (!install::WriteInstalledVersion(FAppDir, version, &why)) AppendLog(">>版本写入失败（" + why + "）");
}

bool TForm1::ForceDeleteFile(const std::string& path) {
  return winapp::ForceDeleteFile(path);
}

void TForm1::RunUpdate() {
  running_ = true;
  FStartTick = GetTickCount();
  FixPaths();
  const TUpdateRun::Outcome outcome = FRun->Run();
  running_ = false;
  switch (outcome) {
    case TUpdateRun::Outcome::kComplete:
      exitCode_ = 0;
      Close();
      break;
    case TUpdateRun::Outcome::kFailed:
      exitCode_ = 1;
      Close();
      break;
    case TUpdateRun::Outcome::kCancelled:
      exitCode_ = 2;
      Close();
      break;
    case TUpdateRun::Outcome::kNoManifest:
      // The dialog stays open with its log until the user leaves with Btn_Cancel.
      exitCode_ = 1;
      break;
  }
}

void TForm1::ShowFile(const std::string& name, int number, int count) {
  FCurrentFile = number;
  FFileCount = count;
  SetText(L_FileName, name, true);
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  shownPercent_ = 0;
  char line[96];
  std::snprintf(line, sizeof line, "第%d个/共%d个", number, count);
  SetText(L_NeedDowCount, line, true);
}

void TForm1::Box(const std::string& text) {
  if (IsClosed()) return;
  MessageBoxW(Handle(), W(text).c_str(), winapp::ProgramName().c_str(), MB_OK | MB_ICONINFORMATION);
}

bool TForm1::ProcessMessages() {
  return winapp::ServePendingMessages(Handle()) && !IsClosed();
}

void TForm1::ShowDownloadProgress(int32_t total, int32_t received) {
  // Called for every 880-byte block: the controls change only when what they show
  // changes, and are repainted at once at most ten times a second (painting per block
  // would cost more than the download).
  const DWORD now = GetTickCount();
  const bool repaint = now - lastRepaint_ >= 100;
  if (repaint) lastRepaint_ = now;
  const int32_t percent = updatelogic::ProgressPercent(total, received);
  if (percent != shownPercent_) {
    shownPercent_ = percent;
    SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  }
  const std::string speed = updatelogic::SpeedText(total, received);
  if (speed != shownSpeed_) {
    shownSpeed_ = speed;
    SetText(L_Speed, speed, false);
  }
  const std::string tick = updatelogic::TickText(now, FStartTick);
  if (tick != shownTick_) {
    shownTick_ = tick;
    SetText(L_Tick, tick, false);
  }
  if (repaint) {
    UpdateWindow(ProgressBar1);
    UpdateWindow(L_Speed);
    UpdateWindow(L_Tick);
  }
}

void TForm1::Btn_CancelClick() {
  FCancelled = true;
  if (FRun) FRun->Cancel();
  if (FDownloadClient) FDownloadClient->Stop();
  // A cancel after the run has ended (the dialog left open after a manifest failure)
  // keeps the run's outcome.
  if (running_) exitCode_ = 2;
  Close();
}

void TForm1::StartTargetProgram() {
  const std::string path = FAppDir + FExeName;
  if (FExeName.empty() || !winapp::FileExists(path)) return;
  const std::wstring wpath = W(path);
  const std::wstring folder = winapp::FolderOfModulePath(wpath);
  ShellExecuteW(nullptr, L"open", wpath.c_str(), L"run run", folder.c_str(), SW_SHOWNORMAL);
}

void TForm1::ShowAndStartTimer() {
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
  SetTimer(Handle(), kTimer1, 200, nullptr);
}

void TForm1::Close() {
  if (closed_) return;
  closed_ = true;
  ShowWindow(Handle(), SW_HIDE);
  PostQuitMessage(0);
}

void TForm1::Timer1Timer() {
  KillTimer(Handle(), kTimer1);
  RunUpdate();
}

void TForm1::AppendLog(const std::string& line) {
  const std::wstring text = W(line) + L"\r\n";
  const int end = GetWindowTextLengthW(Memo1);
  SendMessageW(Memo1, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TForm1::SetText(HWND control, const std::string& gbk, bool repaint) {
  winapp::SetControlText(control, gbk, repaint);
}

std::string TForm1::ControlText(HWND control) const {
  return winapp::ControlText(control);
}

void TForm1::DrawCancelButton(const DRAWITEMSTRUCT& item) {
  const bool pushed = item.itemState & ODS_SELECTED;
  RECT r = item.rcItem;
  DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;
  const std::wstring text = W("停止升级");
  HFONT old = static_cast<HFONT>(SelectObject(item.hDC, font_));
  SIZE size{};
  GetTextExtentPoint32W(item.hDC, text.c_str(), static_cast<int>(text.size()), &size);
  const int glyph = 16, gap = 6;
  const int x = (r.right - r.left - (glyph + gap + size.cx)) / 2 + shift;
  const int y = (r.bottom - r.top) / 2 + shift;
  if (glyph_) {
    HDC mem = CreateCompatibleDC(item.hDC);
    HGDIOBJ prev = SelectObject(mem, glyph_);
    BitBlt(item.hDC, x, y - glyph / 2, glyph, glyph, mem, 0, 0, SRCCOPY);
    SelectObject(mem, prev);
    DeleteDC(mem);
  }
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  TextOutW(item.hDC, x + glyph + gap, y - size.cy / 2, text.c_str(), static_cast<int>(text.size()));
  SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(item.hDC, &f);
  }
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kTimer1) {
        Timer1Timer();
        return 0;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(wp) == kBtnCancelId && HIWORD(wp) == BN_CLICKED) {
        Btn_CancelClick();
        return 0;
      }
      // The dialog's keys: Esc stops, as does Enter on the stop button.
      if (LOWORD(wp) == IDCANCEL || (LOWORD(wp) == IDOK && GetFocus() == Btn_Cancel)) {
        Btn_CancelClick();
        return 0;
      }
      break;
    case WM_CLOSE:
      // Alt+F4 does what the stop button does.
      Btn_CancelClick();
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item->hwndItem == Btn_Cancel) {
        DrawCancelButton(*item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lp) == Memo1) {
        // The log's background: the colour of an inactive caption's gradient.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_GRADIENTINACTIVECAPTION));
      }
      [[fallthrough]];
    case WM_CTLCOLORBTN: {
      // Labels and the group box sit on the dialog's button-face colour.
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default: break;
  }
  return DefaultMessage(msg, wp, lp);
}
