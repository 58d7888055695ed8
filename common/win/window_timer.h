// A timer whose ticks arrive on the thread that made it, through a message-only window
// of its own (so it needs no visible window and no lock). A tick is not entered again
// while its handler runs (a handler that shows a modal box keeps serving messages);
// an error the handler raises goes to the program's error handler, like any error of
// a window's handler. The handler may destroy the timer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "win/base_window.h"

namespace winapp {

class WindowTimer : public BaseWindow {
 public:
  // Off, with the given interval. Throws std::runtime_error when its window cannot
  // be made.
  // `className` names its window's class, so a test can find the timers of one kind.
  explicit WindowTimer(uint32_t intervalMs = 1000, const wchar_t* className = L"GyrelotWindowTimer");
  ~WindowTimer() override;

  uint32_t Interval() const { return interval_; }
  // Restarts the period when it is running.
  void SetInterval(uint32_t ms);
  bool Enabled() const { return enabled_; }
  // Throws std::runtime_error when the platform refuses a timer.
  void SetEnabled(bool on);

  std::function<void()> OnTimer;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Restart();

  uint32_t interval_;
  bool enabled_ = false;
  bool inTick_ = false;
  // Set while a tick runs: tells the tick that its handler destroyed the timer.
  bool* destroyedDuringTick_ = nullptr;
};

}  // namespace winapp
