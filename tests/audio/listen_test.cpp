// Listening tests of the game's sound player: sound_probe.exe plays scripted scenarios
// under Wine while this driver records the sound device and checks what came out.
// Run from the Windows test run, which provides Wine, the display, the sound daemon
// (PULSE_SERVER) and these paths:
//   SOUND_PROBE   the sound_probe.exe to run under Wine
//   WINE_RUN      scripts/wine-run.sh
//
// The tests play into a null sink of their own in the sound daemon (the probe is sent
// there through PULSE_SINK), so a sound of another test running at the same time is
// never heard here. The sink is recorded from the first test to the last, and each test
// takes its part. That part is lined up with the probe's times by the sound itself: the
// onset of its first sound stands for the probe's first action.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../integration/child_process.h"
#include "../integration/test_env.h"
#include "../portable/temp_dir.h"
#include "sound_analysis.h"
#include "sound_rig.h"

namespace fs = std::filesystem;
using namespace soundcheck;

namespace {

// A sample of a sound reaches this (a tenth of the sounds' amplitude); silence is a
// 10-ms stretch whose level stays below kQuiet (the sounds' level is 0.14).
constexpr double kLoud = 0.02;
constexpr double kQuiet = 0.002;
// What the mixer promises: silent within this long after Stop.
constexpr double kStopMs = 100;
// How far an event may sit from where the probe's clock puts it: the device mixes in
// periods of about 10 ms, and a loaded machine may be late by a few periods.
constexpr double kAlignMs = 60;
// Time the probe gives the device before the first action. A stream that has just
// started has not filled its queue yet, so a sound started at once comes out sooner
// than the ones after it, and could not stand for them when lining up.
constexpr int kSettleMs = 500;
constexpr int kRate = 22050;

// The loudest 10-ms stretch of [fromMs, toMs).
double LoudestRms(const Recording& r, double fromMs, double toMs) {
  double loudest = 0;
  for (double t = fromMs; t + 10 <= toMs; t += 10) loudest = std::max(loudest, Rms(r, t, t + 10));
  return loudest;
}

// The frequency of a single sound around `atMs` (a 40-ms window).
double HzAround(const Recording& r, double atMs) {
  return ZeroCrossingHz(r, atMs - 20, atMs + 20);
}

// A loaded machine may drop a few mixing periods of Wine's stream (a short gap, or a
// jump in the sound): checks made over many stretches ask for most of them, which any
// wrong sound fails by far.
constexpr double kMostly = 0.8;

// Of the 40-ms stretches every 50 ms in [fromMs, toMs), the share whose frequency is
// back.wav's (within 20 Hz), the stretch at `fromMs` being `fileMs` into the file.
double SweepShare(const Recording& r, double fromMs, double toMs, double fileMs) {
  int stretches = 0, matching = 0;
  for (double t = fromMs; t < toMs; t += 50, ++stretches) {
    if (std::fabs(HzAround(r, t) - SweepHz(fileMs + t - fromMs)) <= 20) ++matching;
  }
  return stretches ? static_cast<double>(matching) / stretches : 0;
}

// The median level of `hz` over the 20-ms stretches of [fromMs, toMs).
double MedianLevel(const Recording& r, double hz, double fromMs, double toMs) {
  std::vector<double> levels;
  for (double t = fromMs; t + 20 <= toMs; t += 10) levels.push_back(ToneLevel(r, hz, t, t + 20));
  if (levels.empty()) return 0;
  std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
  return levels[levels.size() / 2];
}

// What one scenario sounded like, and what the probe said it did.
struct Heard {
  Recording rec;
  int exitCode = -1;
  std::vector<std::string> lines;
  ProbeEvents probe{{}};

  double At(const std::string& what, int nth = 0) const { return probe.At(what, nth); }
  int Count(const std::string& what) const { return probe.Count(what); }
  bool HasLine(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // Lining up: the probe's action `first` is the first sound of the recording.
  double onsetMs = -1;
  double firstProbeMs = -1;
  void Align(const std::string& first) {
    onsetMs = FirstSoundMs(rec, kLoud, 0);
    firstProbeMs = At(first);
  }
  // The recording's time of the probe's time `probeMs`.
  double RecMs(double probeMs) const { return onsetMs + (probeMs - firstProbeMs); }
};

class Listen : public ::testing::Test {
 protected:
  // One sink and one recording for all the tests: a new recording takes a second or
  // two before its first samples come. Each test takes its part of it.
  static void SetUpTestSuite() {
    app_ = std::make_unique<TempDir>();
    soundsMade_ = MakeSounds(app_->path());
    // Without the test run's daemon there is nothing to load into (SetUp says so).
    if (Env("PULSE_SERVER").empty()) return;
    sink_ = std::make_unique<OwnSink>("gyrelot_listen_" + std::to_string(getpid()));
    if (sink_->Loaded()) {
      recorder_ = std::make_unique<Recorder>(sink_->Monitor(), kRate);
      recording_ = recorder_->WaitForSamples(1, 10000);
    }
  }
  // The recording ends before its sink goes.
  static void TearDownTestSuite() {
    recorder_.reset();
    sink_.reset();
    app_.reset();
  }

  void SetUp() override {
    for (const char* v : {"SOUND_PROBE", "WINE_RUN"}) {
      ASSERT_FALSE(Env(v).empty()) << v << " is not set: run this test through the Windows ctest";
      ASSERT_TRUE(fs::exists(Env(v))) << Env(v);
    }
    ASSERT_FALSE(Env("PULSE_SERVER").empty()) << "no sound daemon: start the harness (scripts/harness.sh)";
    for (const char* p : {"sox", "parec", "pactl"})
      ASSERT_FALSE(FindProgram(p).empty()) << p << " is missing";
    ASSERT_TRUE(soundsMade_) << "sox could not make the sound files";
    ASSERT_TRUE(sink_ && sink_->Loaded()) << "pactl could not load a null sink";
    ASSERT_TRUE(recording_) << "parec recorded nothing";
  }

  // Plays `steps` ("<ms>:<action>", times after the settling time) with the recording
  // running, and returns the recording and the probe's report.
  Heard Play(const std::vector<std::string>& steps) {
    Heard h;
    const auto started = std::chrono::steady_clock::now();
    const size_t from = recorder_->Samples();
    std::vector<std::string> argv = {"/bin/bash", Env("WINE_RUN"), Env("SOUND_PROBE"), WinPath(app_->path())};
    for (const auto& s : steps) {
      const size_t colon = s.find(':');
      argv.push_back(std::to_string(std::stoi(s.substr(0, colon)) + kSettleMs) + s.substr(colon));
    }
    {
      ChildProcess probe(argv, {"PULSE_SINK=" + sink_->Name()});
      h.exitCode = probe.Wait(60000);
      h.lines = probe.Lines();
    }
    // The samples come in blocks: take them once they cover the time up to now and a
    // little after.
    const double wantMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() + 300;
    EXPECT_TRUE(recorder_->WaitForSamples(from + static_cast<size_t>(wantMs * kRate / 1000), 10000))
        << "the recording fell behind";
    h.rec = recorder_->Since(from);
    h.probe = ProbeEvents(h.lines);

    std::string all;
    for (const auto& line : h.lines) all += "  " + line + "\n";
    EXPECT_EQ(h.exitCode, 0) << "the probe failed:\n" << all;
    EXPECT_EQ(h.Count("done"), 1) << all;
    return h;
  }

  static std::unique_ptr<TempDir> app_;
  static bool soundsMade_;
  static std::unique_ptr<OwnSink> sink_;
  static std::unique_ptr<Recorder> recorder_;
  static bool recording_;
};

std::unique_ptr<TempDir> Listen::app_;
bool Listen::soundsMade_ = false;
std::unique_ptr<OwnSink> Listen::sink_;
std::unique_ptr<Recorder> Listen::recorder_;
bool Listen::recording_ = false;

}  // namespace

TEST_F(Listen, BackPlaysItsFileAndStopSilencesItWithin100Ms) {
  Heard h = Play({"0:back+", "1200:back-", "2000:quit"});
  ASSERT_TRUE(h.HasLine("buffer back 2000 loop")) << "back.wav should load as a 2-s looping channel";
  h.Align("back+");
  ASSERT_GE(h.onsetMs, 0) << "nothing was heard";
  // One sound, the sweep of back.wav at its own rate: its frequency along the file.
  const auto sounds = Sounds(h.rec, kLoud, 100);
  ASSERT_EQ(sounds.size(), 1u);
  const double playMs = h.At("back-") - h.At("back+");
  EXPECT_GE(SweepShare(h.rec, h.onsetMs + 30, h.onsetMs + playMs - 30, 30), kMostly);
  // It lasted as long as the probe let it play, give or take the stop's promise.
  const double heardMs = sounds[0].endMs - sounds[0].startMs;
  std::printf("back: heard %.1f ms for %.1f ms between Play and Stop\n", heardMs, playMs);
  EXPECT_LE(heardMs - playMs, kStopMs) << "Stop was late";
  EXPECT_GE(heardMs - playMs, -kAlignMs) << "the sound ended before Stop";
  // And nothing after.
  EXPECT_LT(LoudestRms(h.rec, sounds[0].endMs + 10, h.rec.DurationMs()), kQuiet);
}

TEST_F(Listen, PlayOnAPlayingBufferRestartsItFromItsBeginning) {
  Heard h = Play({"0:back+", "1000:play:back", "1700:back-", "2300:quit"});
  h.Align("back+");
  ASSERT_GE(h.onsetMs, 0) << "nothing was heard";
  const double restart = h.RecMs(h.At("play:back"));
  // Before: the sweep, up to a second into the file.
  EXPECT_GE(SweepShare(h.rec, h.onsetMs + 30, restart - 30, 30), kMostly);
  // The restart is where the frequency falls back (in two stretches running, not a
  // glitch); it must be where Play was called.
  const double half = (SweepHz(0) + SweepHz(1000)) / 2;
  auto low = [&](double t) { return HzAround(h.rec, t) > 0 && HzAround(h.rec, t) < half; };
  double fellAt = -1;
  for (double t = restart - 150; t < restart + 150 && fellAt < 0; t += 2) {
    if (low(t) && low(t + 20)) fellAt = t;
  }
  ASSERT_GE(fellAt, 0) << "the sweep never fell back near the second Play: it was not restarted";
  std::printf("restart heard %.1f ms from where the probe's clock puts it\n", fellAt - restart);
  EXPECT_NEAR(fellAt, restart, kAlignMs);
  // After it, the file again from its beginning, at its own pace.
  EXPECT_GE(SweepShare(h.rec, fellAt + 40, fellAt + 640, 40), kMostly);
}

TEST_F(Listen, LoopingBufferGoesOnPastItsLengthUntilStopped) {
  Heard h = Play({"0:wheel+", "2600:wheel-", "3200:quit"});
  ASSERT_TRUE(h.HasLine("buffer Wheel 1000 loop")) << "Wheel.wav should load as a 1-s looping channel";
  h.Align("wheel+");
  ASSERT_GE(h.onsetMs, 0) << "nothing was heard";
  const double stop = h.RecMs(h.At("wheel-"));
  // The tone all the way, past the file's length twice (but for a dropped period or two).
  int windows = 0, missing = 0;
  for (double t = h.onsetMs + 10; t + 20 < stop - kAlignMs; t += 20, ++windows) {
    if (ToneLevel(h.rec, kWheelHz, t, t + 20) < kAmplitude / 2) ++missing;
  }
  EXPECT_GT(windows, 100);
  std::printf("loop: %d of %d stretches of 20 ms without its tone\n", missing, windows);
  EXPECT_LE(missing, windows / 10) << "the loop's tone is missing in places";
  const double end = LastSoundMs(h.rec, kLoud, h.onsetMs);
  std::printf("loop: heard until %.1f ms after the stop\n", end - stop);
  EXPECT_LE(end - stop, kStopMs);
  EXPECT_LT(LoudestRms(h.rec, end + 10, h.rec.DurationMs()), kQuiet);
  EXPECT_EQ(h.Count("end Wheel"), 0) << "a loop never ends";
}

TEST_F(Listen, SoundThatDoesNotLoopEndsByItselfAndIsReported) {
  // Twice: the second Play after the end must play it whole again.
  Heard h = Play({"0:over1", "900:over1", "1800:quit"});
  ASSERT_TRUE(h.HasLine("buffer Over1 300 once"))
      << "over_1.wav should load as a 300-ms channel that does not loop";
  h.Align("over1");
  const auto sounds = Sounds(h.rec, kLoud, 100);
  ASSERT_EQ(sounds.size(), 2u);
  ASSERT_EQ(h.Count("end Over1"), 2) << "the probe should report each end once";
  for (int i = 0; i < 2; ++i) {
    const double heard = sounds[i].endMs - sounds[i].startMs;
    const double reported = h.At("end Over1", i) - h.At("over1", i);
    std::printf("over_1 #%d: heard %.1f ms, end reported %.1f ms after Play\n", i + 1, heard, reported);
    EXPECT_GE(heard, kOverMs - 50) << i;
    EXPECT_LE(heard, kOverMs + 30) << i;
    EXPECT_NEAR(MedianLevel(h.rec, kOverHz, sounds[i].startMs + 50, sounds[i].endMs - 50), kAmplitude, 0.03);
    // Noticed by a 50-ms timer after the sound is out; never before it could have ended.
    EXPECT_GE(reported, kOverMs - kAlignMs) << i;
    EXPECT_LE(reported, kOverMs + 50 + 150) << i;
    EXPECT_NEAR(sounds[i].startMs, h.RecMs(h.At("over1", i)), kAlignMs) << i;
  }
  EXPECT_LT(LoudestRms(h.rec, sounds[1].endMs + 10, h.rec.DurationMs()), kQuiet);
}

TEST_F(Listen, BothOverChannelsPlayAtOnceOverARunningLoop) {
  Heard h = Play({"0:wheel+", "600:over1", "1400:over1", "1400:over2", "2200:wheel-", "2800:quit"});
  h.Align("wheel+");
  ASSERT_GE(h.onsetMs, 0) << "nothing was heard";
  const double loopAlone = MedianLevel(h.rec, kWheelHz, h.onsetMs + 100, h.onsetMs + 500);
  const double single = h.RecMs(h.At("over1", 0));
  const double both = h.RecMs(h.At("over2"));
  // The middle of each over_1 (60 to 240 ms in), well clear of its start and end.
  const double overOnce = MedianLevel(h.rec, kOverHz, single + 60, single + 240);
  const double overTwice = MedianLevel(h.rec, kOverHz, both + 60, both + 240);
  std::printf("loop %.3f; over_1 once %.3f, on both channels %.3f (x%.2f)\n", loopAlone, overOnce, overTwice,
              overTwice / overOnce);
  EXPECT_NEAR(loopAlone, kAmplitude, 0.03);
  EXPECT_NEAR(overOnce, kAmplitude, 0.03);
  // Two channels of the same sound started together add up to twice its amplitude.
  EXPECT_NEAR(overTwice / overOnce, 2.0, 0.25);
  // Mixed with the loop, which goes on at its own level under both.
  EXPECT_NEAR(MedianLevel(h.rec, kWheelHz, single + 60, single + 240), loopAlone, 0.03);
  EXPECT_NEAR(MedianLevel(h.rec, kWheelHz, both + 60, both + 240), loopAlone, 0.03);
  // Both end by themselves (the loop goes on) and the probe heard of each.
  EXPECT_LT(ToneLevel(h.rec, kOverHz, both + kOverMs + kAlignMs, both + kOverMs + 200), 0.01);
  EXPECT_EQ(h.Count("end Over1"), 2);
  EXPECT_EQ(h.Count("end Over2"), 1);
}

TEST_F(Listen, StoppingAStoppedChannelIsSilentAndTheNextStartPlaysFromTheBeginning) {
  Heard h = Play({"0:back+", "1000:back-", "1500:back-", "2000:back+", "2800:back-", "3400:quit"});
  h.Align("back+");
  const auto sounds = Sounds(h.rec, kLoud, 100);
  ASSERT_EQ(sounds.size(), 2u);
  // Silent all the way between the two, the second Stop included.
  EXPECT_LT(LoudestRms(h.rec, sounds[0].endMs + 10, sounds[1].startMs - 10), kQuiet);
  EXPECT_NEAR(sounds[1].startMs, h.RecMs(h.At("back+", 1)), kAlignMs);
  // Stopped a second in (at SweepHz(1000)), it starts again from the file's beginning.
  const double startHz = HzAround(h.rec, sounds[1].startMs + 30);
  std::printf("back stopped at %.0f Hz, started again at %.0f Hz\n", HzAround(h.rec, sounds[0].endMs - 30),
              startHz);
  EXPECT_NEAR(startHz, SweepHz(30), 20);
}
