// Serving window messages while the window thread waits inside a longer operation
// (a download, the gap between two files), so the windows stay live.
#pragma once

#include <windows.h>

namespace winapp {

// Serves every pending message of this thread; `dialog` (or, when none is given, the
// thread's keyboard dialog) gets Tab, Enter and Esc through IsDialogMessage. Returns
// false once WM_QUIT was taken; it is posted again, so the thread's outer message loop
// ends too.
bool ServePendingMessages(HWND dialog = nullptr);

// The dialog whose keys every wait of this thread serves (none: nullptr), so a wait
// deep inside a transfer keeps the dialog's keyboard working.
void SetKeyboardDialog(HWND dialog);

}  // namespace winapp
