// Reading what a recording of the sound device holds: levels, tones, the frequency of a
// single tone and where sound starts and ends. Times are milliseconds from the first
// sample; samples are mono, full scale 1.0.
#pragma once

#include <string>
#include <vector>

namespace soundcheck {

struct Recording {
  int rate = 0;
  std::vector<float> samples;

  double DurationMs() const { return rate ? samples.size() * 1000.0 / rate : 0; }
};

// A raw recording of 16-bit little-endian mono samples; empty when it cannot be read.
Recording ReadRawS16(const std::string& path, int rate);

// Root mean square of the samples in [fromMs, toMs).
double Rms(const Recording& r, double fromMs, double toMs);

// The amplitude of the sine of `hz` in [fromMs, toMs) (Goertzel over a Hann window):
// a sine of amplitude A alone gives about A.
double ToneLevel(const Recording& r, double hz, double fromMs, double toMs);

// The frequency of a single tone in [fromMs, toMs): from the median time between its
// rising zero crossings (interpolated between samples, with hysteresis), so that a short
// gap or jump in the window does not count; 0 when there are fewer than three.
double ZeroCrossingHz(const Recording& r, double fromMs, double toMs);

// The first sample at or after `fromMs` (and before `toMs`) whose magnitude reaches
// `threshold`; -1 when there is none.
double FirstSoundMs(const Recording& r, double threshold, double fromMs, double toMs = 1e12);
// The last sample before `toMs` (and at or after `fromMs`) whose magnitude reaches
// `threshold`; -1 when there is none.
double LastSoundMs(const Recording& r, double threshold, double fromMs, double toMs = 1e12);

// Each sound: from a sample reaching `threshold` after at least `silenceMs` without
// one, to the last such sample before the next such silence (or the end).
struct Span {
  double startMs = 0;
  double endMs = 0;
};
std::vector<Span> Sounds(const Recording& r, double threshold, double silenceMs);

}  // namespace soundcheck
