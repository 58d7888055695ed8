#include "base_window.h"

#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

#include "win/gbk_text.h"

namespace winapp {

namespace {

ErrorHandler& Handler() {
  static ErrorHandler handler;
  return handler;
}

void RegisterOnce(const wchar_t* className, const WindowClassOptions& cls, WNDPROC proc) {
  static std::mutex lock;
  static std::set<std::wstring> registered;
  std::lock_guard<std::mutex> guard(lock);
  if (!registered.insert(className).second) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = cls.style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = cls.cursor ? cls.cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = cls.background;
  wc.lpszClassName = className;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    registered.erase(className);
    throw std::runtime_error("cannot register window class (error " + std::to_string(GetLastError()) + ")");
  }
}

}  // namespace

void SetErrorHandler(ErrorHandler handler) {
  Handler() = std::move(handler);
}

void ReportError(HWND window, const std::exception& error) noexcept {
  try {
    if (Handler()) {
      Handler()(window, error);
      return;
    }
    MessageBoxW(window, gbk::ToWide(error.what()).c_str(), L"", MB_OK | MB_ICONERROR);
  } catch (...) {
    // The handler itself failed: nothing more can be shown.
  }
}

BaseWindow::~BaseWindow() {
  DestroyBaseWindow();
}

HWND BaseWindow::CreateBaseWindow(const wchar_t* className, const WindowClassOptions& cls, DWORD exStyle,
                                  const wchar_t* text, DWORD style, int x, int y, int width, int height,
                                  HWND parent, UINT_PTR id) {
  RegisterOnce(className, cls, &BaseWindow::Procedure);
  HWND h = CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), this);
  if (!h) throw std::runtime_error("cannot create a window (error " + std::to_string(GetLastError()) + ")");
  return h;
}

void BaseWindow::DestroyBaseWindow() {
  if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
  hwnd_ = nullptr;
}

LRESULT BaseWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  return DefaultMessage(msg, wp, lp);
}

LRESULT CALLBACK BaseWindow::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  BaseWindow* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    ReportError(hwnd, e);
  } catch (...) {
    ReportError(hwnd, std::runtime_error("unknown error"));
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace winapp
