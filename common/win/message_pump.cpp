#include "message_pump.h"

namespace winapp {

namespace {
// The dialog of this thread whose keys (Tab, Enter, Esc) work in every wait.
thread_local HWND t_keyboardDialog = nullptr;
}  // namespace

void SetKeyboardDialog(HWND dialog) {
  t_keyboardDialog = dialog;
}

bool ServePendingMessages(HWND dialog) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    const HWND keys = dialog ? dialog : t_keyboardDialog;
    if (keys && IsWindow(keys) && IsDialogMessageW(keys, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace winapp
