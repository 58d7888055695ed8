// A periodic timer whose ticks arrive on the thread that created it, through a hidden
// window of its own: the heartbeat of the game session runs on the window thread with
// everything else, so it needs no lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>

#include "win/base_window.h"

// The platform could not give a resource, such as a timer.
class EOutOfResources : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TsTimer;

// A tick handler bound to its object: the code and the context it gets back.
struct TTimerEvent {
  void (*Code)(void* context, TsTimer* sender) = nullptr;
  void* Context = nullptr;
};

class TsTimer : public winapp::BaseWindow {
 public:
  // Interval 1000 ms, enabled, no handler: nothing ticks until a handler is set.
  // Throws when the hidden window cannot be made.
  TsTimer();
  ~TsTimer() override;
  TsTimer(const TsTimer&) = delete;
  TsTimer& operator=(const TsTimer&) = delete;

  // The setters restart the period only on a change; an equal value does nothing.
  // They throw EOutOfResources ("Not enough timers available") when the platform
  // refuses a timer.
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t interval);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  // Always restarts the period, even with the same handler.
  const TTimerEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TTimerEvent handler);

  HWND Window() const { return Handle(); }
  // Whether a platform timer runs now, and how often one was started: what the
  // setters did, for the curious and for tests.
  bool Running() const { return FRunning; }
  unsigned Starts() const { return FStarts; }

 protected:
  // One tick: calls the handler unless a tick is already running (a handler that
  // serves messages must not be entered again by the next tick).
  virtual void Timer();

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void UpdateTimer();

  int32_t FInTimer = 0;
  uint32_t FInterval = 1000;
  TTimerEvent FOnTimer;
  bool FEnabled = true;
  bool FRunning = false;
  unsigned FStarts = 0;
};
