#include "usTimer.h"

namespace {

constexpr UINT_PTR kTimerId = 1;

}  // namespace

TsTimer::TsTimer() {
  // A message-only window: it never shows and takes no part in broadcasts.
  try {
    CreateBaseWindow(L"TsTimerWindow", winapp::WindowClassOptions{}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
  } catch (const std::runtime_error&) {
    throw EOutOfResources("Not enough window resources for a timer");
  }
}

TsTimer::~TsTimer() {
  FEnabled = false;
  UpdateTimer();  // only stops: cannot throw with Enabled false
  DestroyBaseWindow();
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
  if (Handle() != nullptr) KillTimer(Handle(), kTimerId);
  FRunning = false;
  if (FInterval != 0 && FEnabled && FOnTimer.Code != nullptr) {
    // Without its window (destroyed from outside) a timer would have nowhere to tick.
    if (Handle() == nullptr || SetTimer(Handle(), kTimerId, FInterval, nullptr) == 0) {
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

LRESULT TsTimer::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == kTimerId) {
    // A failing tick is dropped without a report: the next tick comes as usual.
    try {
      Timer();
    } catch (...) {
    }
    return 0;
  }
  return DefaultMessage(msg, wParam, lParam);
}
