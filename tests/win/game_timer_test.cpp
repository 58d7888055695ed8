// TsTimer: the setters that restart the period and those that do not, ticks on the
// creating thread, no nested ticks, Interval 0, and a refused platform timer.
#include <gtest/gtest.h>

#include <string>

#include "pump_for.h"
#include "usTimer.h"

namespace {

struct Counter {
  int ticks = 0;
  DWORD thread = 0;
  static void Tick(void* context, TsTimer*) {
    auto* self = static_cast<Counter*>(context);
    ++self->ticks;
    self->thread = GetCurrentThreadId();
  }
};

void Other(void*, TsTimer*) {}

}  // namespace

TEST(TsTimer, StartsWithInterval1000EnabledAndNoHandlerSoNothingRuns) {
  TsTimer t;
  EXPECT_EQ(t.Interval(), 1000u);
  EXPECT_TRUE(t.Enabled());
  EXPECT_EQ(t.OnTimer().Code, nullptr);
  EXPECT_FALSE(t.Running());
  EXPECT_NE(t.Window(), nullptr);
  EXPECT_FALSE(IsWindowVisible(t.Window()));
}

// Each row: from a running timer (Interval 500, enabled, handler set), one setter
// call; whether the period is started again and whether a timer runs afterwards.
TEST(TsTimer, SettersRestartOnlyOnAChangeExceptOnTimerWhichAlwaysDoes) {
  Counter counter;
  struct Case {
    const char* what;
    void (*apply)(TsTimer&, Counter&);
    bool restarted;
    bool running;
  };
  const Case cases[] = {
      {"Interval to the same value", [](TsTimer& t, Counter&) { t.SetInterval(500); }, false, true},
      {"Interval to another value", [](TsTimer& t, Counter&) { t.SetInterval(700); }, true, true},
      {"Interval to 0", [](TsTimer& t, Counter&) { t.SetInterval(0); }, false, false},
      {"Enabled to true again", [](TsTimer& t, Counter&) { t.SetEnabled(true); }, false, true},
      {"Enabled to false", [](TsTimer& t, Counter&) { t.SetEnabled(false); }, false, false},
      {"OnTimer to the same handler",
       [](TsTimer& t, Counter& c) {
         t.SetOnTimer({&Counter::Tick, &c});
       },
       true, true},
      {"OnTimer to another handler",
       [](TsTimer& t, Counter&) {
         t.SetOnTimer({&Other, nullptr});
       },
       true, true},
      {"OnTimer to none", [](TsTimer& t, Counter&) { t.SetOnTimer({}); }, false, false},
  };
  for (const Case& c : cases) {
    TsTimer t;
    t.SetInterval(500);
    t.SetOnTimer({&Counter::Tick, &counter});
    ASSERT_TRUE(t.Running()) << c.what;
    const unsigned before = t.Starts();
    c.apply(t, counter);
    EXPECT_EQ(t.Starts() != before, c.restarted) << c.what;
    EXPECT_EQ(t.Running(), c.running) << c.what;
  }
}

// From a stopped timer: a timer runs only with an interval, Enabled and a handler,
// whatever order they come in.
TEST(TsTimer, RunsOnlyWithIntervalEnabledAndHandler) {
  Counter counter;
  struct Case {
    uint32_t interval;
    bool enabled;
    bool handler;
    bool running;
  };
  const Case cases[] = {
      {100, true, true, true},   {0, true, true, false},   {100, false, true, false},
      {100, true, false, false}, {0, false, false, false},
  };
  for (const Case& c : cases) {
    TsTimer t;
    t.SetEnabled(false);
    t.SetInterval(c.interval);
    if (c.handler) t.SetOnTimer({&Counter::Tick, &counter});
    t.SetEnabled(c.enabled);
    EXPECT_EQ(t.Running(), c.running) << c.interval << " " << c.enabled << " " << c.handler;
  }
}

TEST(TsTimer, TicksArriveOnTheCreatingThreadAtTheInterval) {
  Counter counter;
  TsTimer t;
  t.SetInterval(50);
  t.SetOnTimer({&Counter::Tick, &counter});
  PumpFor(600);
  // Window timers are coarse (10 ms and more under load): be generous, but a timer
  // that does not tick, or ticks as fast as it can, fails.
  EXPECT_GE(counter.ticks, 4);
  EXPECT_LE(counter.ticks, 16);
  EXPECT_EQ(counter.thread, GetCurrentThreadId());

  t.SetEnabled(false);
  const int stopped = counter.ticks;
  PumpFor(200);
  EXPECT_EQ(counter.ticks, stopped);
}

TEST(TsTimer, IntervalZeroNeverTicksWhateverEnabledSays) {
  Counter counter;
  TsTimer t;
  t.SetInterval(0);
  t.SetOnTimer({&Counter::Tick, &counter});
  t.SetEnabled(false);
  t.SetEnabled(true);
  PumpFor(300);
  EXPECT_EQ(counter.ticks, 0);
  EXPECT_EQ(t.Starts(), 0u);
}

namespace {

// Counts every tick the window delivers, nested ones included.
class CountingTimer : public TsTimer {
 public:
  int calls = 0;

 protected:
  void Timer() override {
    ++calls;
    TsTimer::Timer();
  }
};

struct SlowHandler {
  int entered = 0;
  int depth = 0;
  int maxDepth = 0;
  static void Tick(void* context, TsTimer*) {
    auto* self = static_cast<SlowHandler*>(context);
    ++self->entered;
    ++self->depth;
    if (self->depth > self->maxDepth) self->maxDepth = self->depth;
    // Longer than the period, serving messages as a modal loop would.
    if (self->entered == 1) PumpFor(250);
    --self->depth;
  }
};

struct Thrower {
  int calls = 0;
  static void Tick(void* context, TsTimer*) {
    ++static_cast<Thrower*>(context)->calls;
    throw std::runtime_error("heartbeat failed");
  }
};

}  // namespace

TEST(TsTimer, AHandlerLongerThanThePeriodIsNotEnteredAgain) {
  SlowHandler h;
  CountingTimer t;
  t.SetInterval(20);
  t.SetOnTimer({&SlowHandler::Tick, &h});
  PumpUntil([&] { return h.entered >= 2; }, 2000);
  t.SetEnabled(false);
  EXPECT_GT(t.calls, h.entered) << "ticks came while the handler ran";
  EXPECT_EQ(h.maxDepth, 1);
  EXPECT_GE(h.entered, 2) << "ticks go on once the handler has returned";
}

TEST(TsTimer, AHandlerErrorIsDroppedAndTicksGoOn) {
  Thrower h;
  TsTimer t;
  t.SetInterval(20);
  t.SetOnTimer({&Thrower::Tick, &h});
  EXPECT_TRUE(PumpUntil([&] { return h.calls >= 3; }, 2000));
}

TEST(TsTimer, ARefusedPlatformTimerRaisesNotEnoughTimersAvailable) {
  Counter counter;
  TsTimer t;
  // Without its window the platform cannot give the timer a home.
  ASSERT_TRUE(DestroyWindow(t.Window()));
  EXPECT_EQ(t.Window(), nullptr);
  try {
    t.SetOnTimer({&Counter::Tick, &counter});
    FAIL() << "no error raised";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Not enough timers available");
  }
  EXPECT_FALSE(t.Running());
}
