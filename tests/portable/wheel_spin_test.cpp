#include <gtest/gtest.h>

#include <vector>

#include "uWheelSpin.h"

namespace {

using Spin = TWheelSpin;

// Ticks the spin timer until the wheel stops; returns the angle at which it stopped
// (the one already shown when the stop rule fired). `now` advances 30 ms a tick.
int32_t TickUntilStopped(Spin& spin, uint32_t& now, int maxTicks = 100000) {
  for (int i = 0; i < maxTicks; ++i) {
    now += spin.SpinInterval();
    if (spin.SpinTick(now) == Spin::SpinTickResult::kStopped) return spin.Angle();
  }
  ADD_FAILURE() << "the wheel never stopped";
  return -1;
}

// Runs the slow-down to its end; returns the waits before each tick.
std::vector<uint32_t> SlowDown(Spin& spin) {
  std::vector<uint32_t> waits;
  for (int i = 0; i < 20; ++i) {
    waits.push_back(spin.SlowInterval());
    if (spin.SlowTick() == Spin::SlowTickResult::kEnded) return waits;
  }
  ADD_FAILURE() << "the slow-down never ended";
  return waits;
}

}  // namespace

TEST(WheelSpin, SectorsOfAngles) {
  struct Case {
    int32_t angle, sector;
  } cases[] = {{0, 8},   {45, 7},  {90, 6},  {135, 5}, {180, 4}, {225, 3},
               {270, 2}, {315, 1}, {360, 8}, {15, 0},  {30, 0},  {100, 0}};
  for (const Case& c : cases) EXPECT_EQ(Spin::SectorOfAngle(c.angle), c.sector) << c.angle;
}

TEST(WheelSpin, EachSectorStopsAtItsAngleAndRestsOneSectorOn) {
  const struct {
    int32_t sector, fires, rests;
  } cases[] = {{1, 315, 360}, {2, 270, 315}, {3, 225, 270}, {4, 180, 225},
               {5, 135, 180}, {6, 90, 135},  {7, 45, 90},   {8, 360, 405}};
  for (const auto& c : cases) {
    Spin spin;
    uint32_t now = 1000;
    spin.Reset();
    spin.Begin(now);
    spin.SpinTick(now += 30);
    spin.Replied(c.sector);
    EXPECT_EQ(spin.Countdown(), Spin::kRepliedCountdown);
    // The countdown runs out first; at most one more turn brings the sector round.
    int ticks = 0;
    Spin::SpinTickResult r;
    do {
      r = spin.SpinTick(now += 30);
      ++ticks;
    } while (r == Spin::SpinTickResult::kTurned && ticks < 1000);
    EXPECT_EQ(spin.Angle(), c.fires) << "sector " << c.sector;
    EXPECT_GE(ticks, Spin::kRepliedCountdown) << "sector " << c.sector;
    EXPECT_LE(ticks, Spin::kRepliedCountdown + 360 / 15) << "sector " << c.sector;
    EXPECT_EQ(spin.GetState(), Spin::State::kSlowingDown);
    SlowDown(spin);
    EXPECT_EQ(spin.Angle(), c.rests) << "sector " << c.sector;
    EXPECT_EQ(spin.GetState(), Spin::State::kReady);
    EXPECT_EQ(spin.GetOutcome(), Spin::Outcome::kResult);
  }
}

TEST(WheelSpin, TheSlowDownWaitsGrowAndTurnsNineTimes) {
  Spin spin;
  uint32_t now = 0;
  spin.Begin(now);
  spin.Replied(8);
  const int32_t fired = TickUntilStopped(spin, now);
  EXPECT_EQ(SlowDown(spin), (std::vector<uint32_t>{30, 1, 1, 1, 1, 21, 41, 61, 81, 101}));
  EXPECT_EQ(spin.SlowSteps(), 9);
  EXPECT_EQ(spin.Angle(), fired + 45);
  EXPECT_EQ(spin.SlowInterval(), 30u) << "set back for the next spin";
}

TEST(WheelSpin, TheLaterOfReplyAndStopRequestSetsTheCountdown) {
  struct Case {
    const char* what;
    bool stopFirst;
    int32_t countdown;
    uint32_t interval;
  } cases[] = {
      {"reply, then stop request", false, Spin::kStopCountdown, 60},
      {"stop request, then reply", true, Spin::kRepliedCountdown, 60},
  };
  for (const Case& c : cases) {
    Spin spin;
    uint32_t now = 0;
    spin.Begin(now);
    EXPECT_EQ(spin.Countdown(), Spin::kBeginCountdown);
    spin.SpinTick(now += 30);
    if (c.stopFirst) spin.AskStop();
    spin.Replied(3);
    if (!c.stopFirst) spin.AskStop();
    EXPECT_EQ(spin.Countdown(), c.countdown) << c.what;
    EXPECT_EQ(spin.SpinInterval(), c.interval) << c.what;
    // The wheel stops at the first angle of the sector after the countdown has run out.
    int ticks = 0;
    while (spin.SpinTick(now += spin.SpinInterval()) == Spin::SpinTickResult::kTurned) ++ticks;
    EXPECT_GE(ticks, c.countdown - 1) << c.what;
    EXPECT_EQ(Spin::SectorOfAngle(spin.Angle()), 3) << c.what;
  }
}

TEST(WheelSpin, TheAngleWrapsFrom360To15AndCarriesIntoTheNextSpin) {
  Spin spin;
  uint32_t now = 0;
  spin.Begin(now);
  spin.Replied(8);
  EXPECT_EQ(TickUntilStopped(spin, now), 360);
  SlowDown(spin);
  EXPECT_EQ(spin.Angle(), 405);
  // ResetWheel keeps the angle; the next spin's first tick wraps it to 0 and turns to 15.
  spin.Reset();
  EXPECT_EQ(spin.Angle(), 405);
  spin.Begin(now);
  spin.SpinTick(now += 30);
  EXPECT_EQ(spin.Angle(), 15);
  // From 345: 360 is shown, and the tick after it wraps to 15 (0 is never shown).
  spin.SetAngle(345);
  spin.SpinTick(now += 30);
  EXPECT_EQ(spin.Angle(), 360);
  spin.SpinTick(now += 30);
  EXPECT_EQ(spin.Angle(), 15);
}

TEST(WheelSpin, ARefusedSpinStopsWhereverItIsAndShowsNoResult) {
  Spin spin;
  uint32_t now = 0;
  spin.Begin(now);
  spin.Replied(5);  // an earlier spin's reply ...
  TickUntilStopped(spin, now);
  SlowDown(spin);
  spin.Reset();
  spin.Begin(now);  // ... must not decide this one
  spin.SpinTick(now += 30);
  spin.SetAngle(30);  // an angle of no sector
  spin.Refused();
  EXPECT_TRUE(spin.StopFlag());
  spin.AskStop();
  // Four more turns while the countdown of 5 runs out, then it stops where it is.
  int ticks = 0;
  while (spin.SpinTick(now += spin.SpinInterval()) == Spin::SpinTickResult::kTurned) ++ticks;
  EXPECT_EQ(ticks, 4);
  EXPECT_EQ(spin.Angle(), 90);
  SlowDown(spin);
  EXPECT_EQ(spin.GetOutcome(), Spin::Outcome::kRefused);
}

TEST(WheelSpin, ASpinWithoutAnyReplyStopsTenSecondsAfterItsStart) {
  Spin spin;
  uint32_t now = 50000;
  spin.Begin(now);
  spin.AskStop();  // a stop request alone does not stop a spin without a reply
  int ticks = 0;
  while (spin.SpinTick(now += spin.SpinInterval()) == Spin::SpinTickResult::kTurned) ++ticks;
  EXPECT_GE(now - 50000, Spin::kNoReplyMs);
  EXPECT_LT(now - 50000, Spin::kNoReplyMs + 2 * spin.SpinInterval());
  SlowDown(spin);
  EXPECT_EQ(spin.GetOutcome(), Spin::Outcome::kNoReply);
  // Its reply, coming late, changes nothing.
  spin.Replied(2);
  EXPECT_EQ(spin.GetOutcome(), Spin::Outcome::kNoReply);
  EXPECT_EQ(spin.GetState(), Spin::State::kReady);
}

TEST(WheelSpin, AReplyAfterTheSpinHasEndedIsIgnored) {
  Spin spin;
  uint32_t now = 0;
  spin.Begin(now);
  spin.Replied(4);
  TickUntilStopped(spin, now);
  SlowDown(spin);
  const int32_t angle = spin.Angle();
  spin.Replied(7);
  spin.Refused();
  EXPECT_EQ(spin.Sector(), 4);
  EXPECT_EQ(spin.Angle(), angle);
  EXPECT_EQ(spin.GetOutcome(), Spin::Outcome::kResult);
}
