#include "uWheelSpin.h"

int32_t TWheelSpin::SectorOfAngle(int32_t angle) {
  if (angle % 45 != 0) return 0;
  const int32_t s = kSectors - angle / 45;
  return s == 0 ? kSectors : s;
}

void TWheelSpin::Reset() {
  FStopFlag = false;
  FState = State::kReady;
  FSlowSteps = 0;
}

void TWheelSpin::Begin(uint32_t nowMs) {
  FCountdown = kBeginCountdown;
  FSpinInterval = kSpinInterval;
  FSlowInterval = kSlowFirstInterval;
  FState = State::kSpinning;
  // Nothing of an earlier spin decides how this one ends.
  FSector = 0;
  FReplied = false;
  FRefused = false;
  FTimedOut = false;
  FBeginMs = nowMs;
}

void TWheelSpin::AskStop() {
  FCountdown = kStopCountdown;
  FSpinInterval += kSpinInterval;
}

void TWheelSpin::Replied(int32_t sector) {
  // A reply after its spin has stopped turning, or after it was given up, is too late.
  if (FState != State::kSpinning || FTimedOut) return;
  FSector = sector;
  FReplied = true;
  FCountdown = kRepliedCountdown;
}

void TWheelSpin::Refused() {
  if (FState != State::kSpinning || FTimedOut) return;
  FRefused = true;
  FStopFlag = true;
}

TWheelSpin::SpinTickResult TWheelSpin::SpinTick(uint32_t nowMs) {
  if (!FReplied && !FRefused && !FTimedOut && nowMs - FBeginMs >= kNoReplyMs) {
    // Nothing came: stop now, wherever the wheel is.
    FTimedOut = true;
    FStopFlag = true;
    FCountdown = 0;
  }
  --FCountdown;
  // The sector is tested on the angle already shown, before this tick's turn.
  if (FCountdown <= 0 && FReplied && SectorOfAngle(FAngle) == FSector) FStopFlag = true;
  if (FCountdown <= 0 && FStopFlag) {
    FState = State::kSlowingDown;
    FSlowInterval = kSlowFirstInterval;
    return SpinTickResult::kStopped;
  }
  if (FAngle >= 360 || FAngle <= -360) FAngle = 0;
  FAngle += kStepDegrees;
  return SpinTickResult::kTurned;
}

TWheelSpin::SlowTickResult TWheelSpin::SlowTick() {
  if (FSlowInterval <= 81) {
    FAngle += kSlowStepDegrees;
    ++FSlowSteps;
    FSlowInterval = FSlowSteps >= 5 ? FSlowInterval + 20 : 1;
    return SlowTickResult::kTurned;
  }
  FSlowInterval = kSlowFirstInterval;
  FState = State::kReady;
  return SlowTickResult::kEnded;
}

TWheelSpin::Outcome TWheelSpin::GetOutcome() const {
  if (FReplied) return Outcome::kResult;
  return FTimedOut ? Outcome::kNoReply : Outcome::kRefused;
}
