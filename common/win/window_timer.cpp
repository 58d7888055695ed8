#include "window_timer.h"

#include <stdexcept>
#include <string>

namespace winapp {

namespace {
constexpr UINT_PTR kTimerId = 1;
}

WindowTimer::WindowTimer(uint32_t intervalMs, const wchar_t* className) : interval_(intervalMs) {
  CreateBaseWindow(className, WindowClassOptions{}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

WindowTimer::~WindowTimer() {
  if (destroyedDuringTick_) *destroyedDuringTick_ = true;
  if (Handle()) KillTimer(Handle(), kTimerId);
}

void WindowTimer::SetInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void WindowTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Restart();
}

void WindowTimer::Restart() {
  if (!Handle()) return;
  KillTimer(Handle(), kTimerId);
  if (enabled_ && interval_ > 0 && !SetTimer(Handle(), kTimerId, interval_, nullptr)) {
    enabled_ = false;
    throw std::runtime_error("Not enough timers available (error " + std::to_string(GetLastError()) + ")");
  }
}

LRESULT WindowTimer::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_TIMER || wp != kTimerId) return DefaultMessage(msg, wp, lp);
  if (inTick_ || !OnTimer) return 0;
  bool destroyed = false;
  struct Leave {
    WindowTimer* self;
    bool& destroyed;
    ~Leave() {
      if (destroyed) return;  // nothing of the timer is left to touch
      self->inTick_ = false;
      self->destroyedDuringTick_ = nullptr;
    }
  } leave{this, destroyed};
  inTick_ = true;
  destroyedDuringTick_ = &destroyed;
  const std::function<void()> handler = OnTimer;  // the handler may replace or destroy it
  handler();
  return 0;
}

}  // namespace winapp
