// The wheel's motion without a window: its angle, the spin countdown, the stop rule on
// the sector the server chose, and the slow-down of nine smaller steps. The game window
// turns its two timers' ticks into calls here and draws the angles it gets back.
//
// A spin: Begin (countdown 100000, 30-ms ticks) → 15 degrees per tick → the start
// reply sets the countdown to 150, a stop request to 5 (and slows the ticks to 60 ms),
// whichever comes later → once the countdown has run out, the first tick whose angle
// (the one already shown) belongs to the sector stops the wheel → the slow-down turns
// it 5 degrees after waits of 30, 1, 1, 1, 1, 21, 41, 61 and 81 ms and ends after 101.
//
// The spin knows whether its own successful start reply came. Without one it still
// stops (a refused start stops it wherever it is once the countdown has run out; a
// spin that has heard nothing at all for kNoReplyMs stops at the next tick), but its
// end then shows nothing of another spin's result.
#pragma once

#include <cstdint>

class TWheelSpin {
 public:
  static constexpr int32_t kSectors = 8;
  static constexpr int32_t kStepDegrees = 15;
  static constexpr int32_t kSlowStepDegrees = 5;
  static constexpr uint32_t kSpinInterval = 30;
  static constexpr uint32_t kSlowFirstInterval = 30;
  static constexpr int32_t kBeginCountdown = 100000;
  static constexpr int32_t kRepliedCountdown = 150;
  static constexpr int32_t kStopCountdown = 5;
  static constexpr uint32_t kNoReplyMs = 10000;

  enum class State { kReady, kSpinning, kSlowingDown };
  // How a spin that has ended ends.
  enum class Outcome {
    kResult,   // its own successful start reply came: balance, result line, end sound
    kRefused,  // the server refused it: nothing of a result is shown
    kNoReply,  // nothing came within kNoReplyMs: the status line says so
  };

  // The sector of an angle that is a multiple of 45: 8 − a/45, 0 read as 8; any other
  // angle has none (0).
  static int32_t SectorOfAngle(int32_t angle);

  // The state of ResetWheel: stop flag off, ready, no slow steps; the angle stays.
  void Reset();
  // A spin starts at `nowMs` (a tick count): countdown 100000, ticks of 30 ms.
  void Begin(uint32_t nowMs);
  // The player asks for the stop: countdown 5, ticks 30 ms longer.
  void AskStop();
  // A successful start reply for this spin: its sector decides where it stops.
  void Replied(int32_t sector);
  // A refused start: the wheel stops wherever it is once the countdown has run out.
  void Refused();

  // One tick of the spin timer at `nowMs`. Either the wheel turned (draw Angle()), or
  // it stopped: the spin timer goes off and the slow-down begins (its first wait is
  // SlowInterval()).
  enum class SpinTickResult { kTurned, kStopped };
  SpinTickResult SpinTick(uint32_t nowMs);
  // One tick of the slow-down timer. Either the wheel turned 5 degrees (draw Angle();
  // the next wait is SlowInterval()), or the spin is over (the timer goes off).
  enum class SlowTickResult { kTurned, kEnded };
  SlowTickResult SlowTick();

  int32_t Angle() const { return FAngle; }
  void SetAngle(int32_t a) { FAngle = a; }
  int32_t Countdown() const { return FCountdown; }
  void SetCountdown(int32_t c) { FCountdown = c; }
  bool StopFlag() const { return FStopFlag; }
  int32_t SlowSteps() const { return FSlowSteps; }
  State GetState() const { return FState; }
  // The spin timer's interval now (30, or 60 after a stop request).
  uint32_t SpinInterval() const { return FSpinInterval; }
  uint32_t SlowInterval() const { return FSlowInterval; }
  int32_t Sector() const { return FSector; }
  // Whether the spin was given up for want of any reply.
  bool GaveUp() const { return FTimedOut; }
  // How the spin that has just ended (or is ending) ends.
  Outcome GetOutcome() const;

 private:
  int32_t FAngle = 0;
  int32_t FCountdown = 0;
  bool FStopFlag = false;
  int32_t FSlowSteps = 0;
  State FState = State::kReady;
  uint32_t FSpinInterval = kSpinInterval;
  uint32_t FSlowInterval = kSlowFirstInterval;
  int32_t FSector = 0;
  bool FReplied = false;
  bool FRefused = false;
  bool FTimedOut = false;
  uint32_t FBeginMs = 0;
};
