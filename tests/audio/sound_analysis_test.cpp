// The listening tests' measuring tools, on signals made here whose answer is known.
#include "sound_analysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// `ms` of silence, then the sum of the given tones for `toneMs`, then silence again.
soundcheck::Recording Make(double silenceMs, double toneMs,
                           std::initializer_list<std::pair<double, double>> tones) {
  soundcheck::Recording r;
  r.rate = kRate;
  const auto n = [](double ms) { return static_cast<size_t>(ms * kRate / 1000); };
  r.samples.assign(n(silenceMs), 0.0f);
  for (size_t i = 0; i < n(toneMs); ++i) {
    double v = 0;
    for (const auto& [hz, amplitude] : tones)
      v += amplitude * std::sin(2 * kPi * hz * static_cast<double>(i) / kRate);
    r.samples.push_back(static_cast<float>(v));
  }
  r.samples.resize(r.samples.size() + n(silenceMs), 0.0f);
  return r;
}

TEST(SoundAnalysis, ToneLevelsAndFrequencies) {
  struct Case {
    double hz, amplitude;
  } cases[] = {{300, 0.2}, {660, 0.2}, {1320, 0.05}, {1200, 0.8}};
  for (const auto& c : cases) {
    const auto r = Make(100, 500, {{c.hz, c.amplitude}});
    EXPECT_NEAR(soundcheck::ToneLevel(r, c.hz, 150, 250), c.amplitude, c.amplitude * 0.02) << c.hz;
    EXPECT_LT(soundcheck::ToneLevel(r, c.hz * 2, 150, 250), c.amplitude * 0.02) << c.hz;
    EXPECT_LT(soundcheck::ToneLevel(r, c.hz, 0, 90), 1e-6) << c.hz;
    EXPECT_NEAR(soundcheck::ZeroCrossingHz(r, 150, 190), c.hz, 1.0) << c.hz;
    EXPECT_NEAR(soundcheck::Rms(r, 150, 550), c.amplitude / std::sqrt(2.0), c.amplitude * 0.01) << c.hz;
  }
}

TEST(SoundAnalysis, AGapInTheWindowDoesNotChangeTheFrequency) {
  auto r = Make(0, 20, {{660, 0.2}});
  const auto rest = Make(10, 30, {{660, 0.2}});  // 10 ms of silence, then the tone again
  r.samples.insert(r.samples.end(), rest.samples.begin(), rest.samples.end());
  EXPECT_NEAR(soundcheck::ZeroCrossingHz(r, 0, 60), 660, 1.0);
}

TEST(SoundAnalysis, TwoTonesAreToldApart) {
  const auto r = Make(0, 300, {{660, 0.2}, {1320, 0.4}});
  EXPECT_NEAR(soundcheck::ToneLevel(r, 660, 100, 200), 0.2, 0.005);
  EXPECT_NEAR(soundcheck::ToneLevel(r, 1320, 100, 200), 0.4, 0.008);
}

TEST(SoundAnalysis, SoundsAreFoundWithTheirStartAndEnd) {
  auto r = Make(200, 300, {{440, 0.2}});
  const auto second = Make(0, 100, {{440, 0.2}});
  r.samples.insert(r.samples.end(), second.samples.begin(), second.samples.end());
  const auto spans = soundcheck::Sounds(r, 0.02, 100);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_NEAR(spans[0].startMs, 200, 0.5);
  EXPECT_NEAR(spans[0].endMs, 500, 1.5);
  EXPECT_NEAR(spans[1].startMs, 700, 0.5);
  EXPECT_NEAR(spans[1].endMs, 800, 1.5);
  EXPECT_NEAR(soundcheck::FirstSoundMs(r, 0.02, 0), 200, 0.5);
  EXPECT_NEAR(soundcheck::FirstSoundMs(r, 0.02, 550), 700, 0.5);
  EXPECT_NEAR(soundcheck::LastSoundMs(r, 0.02, 0, 650), 500, 1.5);
  EXPECT_EQ(soundcheck::FirstSoundMs(r, 0.02, 810), -1);
  // A gap shorter than the silence asked for joins the two.
  EXPECT_EQ(soundcheck::Sounds(r, 0.02, 250).size(), 1u);
}

}  // namespace
