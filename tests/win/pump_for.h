// Serving this thread's messages for a while, as a window thread would: timers of
// hidden windows tick only while their thread takes messages.
#pragma once

#include <windows.h>

#include <functional>

#include "win/message_pump.h"

// Serves messages until `done` holds or `ms` have passed; returns whether `done` held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    winapp::ServePendingMessages();
    if (done && done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 5 ? ms - spent : 5, QS_ALLINPUT);
  }
}

inline void PumpFor(DWORD ms) {
  PumpUntil(nullptr, ms);
}
