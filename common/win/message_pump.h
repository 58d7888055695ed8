// Serving window messages while the window thread waits inside a longer operation
// (a download, the gap between two files), so the windows stay live.
#pragma once

#include <windows.h>

namespace winapp {

// Serves every pending message of this thread; `dialog`, when given, gets Tab and
// Enter through IsDialogMessage. Returns false once WM_QUIT was taken; it is posted
// again, so the thread's outer message loop ends too.
bool ServePendingMessages(HWND dialog = nullptr);

}  // namespace winapp
