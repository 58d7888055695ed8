// One window procedure for every window class of ours. `this` is taken from the
// creation parameter at WM_NCCREATE, every message goes to the object's HandleMessage,
// and the pointer is cleared at WM_NCDESTROY, so no message reaches an object that is
// gone. No exception leaves the procedure: an error raised by a handler goes to the
// application's error handler (by default a plain message box), the rest of that
// handler is skipped and the window lives on.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>

namespace winapp {

// What the program does with an error that a window's handler raised. Called on the
// window's thread, inside the window procedure; it may show a modal box.
using ErrorHandler = std::function<void(HWND window, const std::exception& error)>;
void SetErrorHandler(ErrorHandler handler);
// Hands `error` to the program's error handler; what every edge that must not let an
// exception through (window procedures, timer callbacks) calls.
void ReportError(HWND window, const std::exception& error) noexcept;

struct WindowClassOptions {
  UINT style = CS_DBLCLKS;
  HCURSOR cursor = nullptr;  // the arrow when none
  HBRUSH background = nullptr;
};

class BaseWindow {
 public:
  BaseWindow() = default;
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;
  // Destroys the window if it still exists.
  virtual ~BaseWindow();

  HWND Handle() const { return hwnd_; }

 protected:
  // Registers `className` with the shared procedure (once per class and process) and
  // creates the window. Throws std::runtime_error when the window cannot be created.
  HWND CreateBaseWindow(const wchar_t* className, const WindowClassOptions& cls, DWORD exStyle,
                        const wchar_t* text, DWORD style, int x, int y, int width, int height, HWND parent,
                        UINT_PTR id = 0);
  // Destroys the window now; the object stays and receives no more messages.
  void DestroyBaseWindow();

  // Messages not handled go to DefaultMessage.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

}  // namespace winapp
