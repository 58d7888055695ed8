// Gyrelot.exe: the game client. Started by the lobby program with one argument,
// "<player id>|<player name>|<server address>"; without it, or while another instance
// runs, it ends at once and shows nothing.
#include <windows.h>
#include <winsock2.h>

#include <shellapi.h>

#include <optional>
#include <string>

#include "picture.h"
#include "uGyrelot_dm.h"
#include "ufrmGyrelot_Client.h"
#include "usFunction.h"
#include "win/base_window.h"
#include "win/gbk_text.h"

namespace {

// The first command-line argument as GBK bytes, if there is one.
std::optional<std::string> FirstArgument() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::optional<std::string> first;
  if (argv && argc > 1) first = gbk::FromWide(argv[1]);
  if (argv) LocalFree(argv);
  return first;
}

// Started before the program and shut down after it: GDI+ (the wheel's pictures) and
// WinSock 1.1 (the packet libraries).
struct PlatformSession {
  skin::GdiplusSession gdiplus;
  WSADATA wsa{};
  bool winsock = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;
  ~PlatformSession() {
    if (winsock) WSACleanup();
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  PlatformSession platform;

  // One game per machine session: a second start ends silently, even before the first
  // has its window. The handle stays open as long as the process lives.
  CreateMutexW(nullptr, FALSE, L"aaaaa");
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  const std::optional<std::string> argument = FirstArgument();
  if (!argument) return 0;

  Tdm module;
  dm = &module;
  // An error of any handler is shown in the skinned box, titled like the game; the
  // rest of that handler is skipped and the window lives on.
  winapp::SetErrorHandler([](HWND owner, const std::exception& e) {
    dm->SkinMessage.MessageDlg(e.what(), TskSkinMessage::Kind::kError, TskSkinMessage::Buttons::kOk, owner,
                               GetApplicationTitle());
  });
  int code = 0;
  try {
    TfrmGyrelot_Client form(argument);
    form.Show();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (IsWindow(form.Handle()) && IsDialogMessageW(form.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  } catch (const std::exception& e) {
    // The window itself could not be made: nothing to play with.
    winapp::ReportError(nullptr, e);
    code = 1;
  }
  winapp::SetErrorHandler(nullptr);
  dm = nullptr;
  return code;
}
