#include "usTimer.h"

#include <mutex>

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClassName[] = L"TsTimerWindow";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

TsTimer::TsTimer() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TsTimer::WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
  });
  // A message-only window: it never shows and takes no part in broadcasts.
  FWindow = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), this);
  if (FWindow == nullptr) throw EOutOfResources("Not enough window resources for a timer");
}

TsTimer::~TsTimer() {
  FEnabled = false;
  UpdateTimer();  // only stops: cannot throw with Enabled false
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

void TsTimer::SetInterval(uint32_t interval) {
  if (interval == FInterval) return;
  FInterval = interval;
  UpdateTimer();
}

void TsTimer::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  UpdateTimer();
}

void TsTimer::SetOnTimer(TTimerEvent handler) {
  FOnTimer = handler;
  UpdateTimer();
}

void TsTimer::UpdateTimer() {
  if (FWindow != nullptr) KillTimer(FWindow, kTimerId);
  FRunning = false;
  if (FInterval != 0 && FEnabled && FOnTimer.Code != nullptr) {
    // Without its window (destroyed from outside) a timer would have nowhere to tick.
    if (FWindow == nullptr || SetTimer(FWindow, kTimerId, FInterval, nullptr) == 0) {
      throw EOutOfResources("Not enough timers available");
    }
    FRunning = true;
    ++FStarts;
  }
}

void TsTimer::Timer() {
  if (FInTimer == 1) return;
  FInTimer = 1;
  try {
    if (FOnTimer.Code != nullptr) FOnTimer.Code(FOnTimer.Context, this);
  } catch (...) {
    FInTimer = 0;
    throw;
  }
  FInTimer = 0;
}

LRESULT CALLBACK TsTimer::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  } else if (msg == WM_NCDESTROY) {
    // Whoever destroyed the window, the timer must not use its handle any more.
    if (auto* timer = reinterpret_cast<TsTimer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      timer->FWindow = nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  } else if (msg == WM_TIMER && wParam == kTimerId) {
    auto* timer = reinterpret_cast<TsTimer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (timer != nullptr) {
      // A failing tick is dropped without a report: the next tick comes as usual.
      try {
        timer->Timer();
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
