#include "sound_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace soundcheck {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The sample range [first, last) of [fromMs, toMs), clamped to the recording.
void Range(const Recording& r, double fromMs, double toMs, size_t& first, size_t& last) {
  auto index = [&](double ms) {
    const double i = std::floor(ms * r.rate / 1000.0);
    if (i <= 0) return size_t{0};
    return std::min(static_cast<size_t>(i), r.samples.size());
  };
  first = index(fromMs);
  last = std::max(first, index(toMs));
}

double Ms(const Recording& r, double index) {
  return index * 1000.0 / r.rate;
}

}  // namespace

Recording ReadRawS16(const std::string& path, int rate) {
  Recording r;
  r.rate = rate;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  r.samples.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto lo = static_cast<uint8_t>(bytes[i]);
    const auto hi = static_cast<uint8_t>(bytes[i + 1]);
    r.samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8))) / 32768.0f);
  }
  return r;
}

double Rms(const Recording& r, double fromMs, double toMs) {
  size_t first, last;
  Range(r, fromMs, toMs, first, last);
  if (first == last) return 0;
  double sum = 0;
  for (size_t i = first; i < last; ++i) sum += static_cast<double>(r.samples[i]) * r.samples[i];
  return std::sqrt(sum / static_cast<double>(last - first));
}

double ToneLevel(const Recording& r, double hz, double fromMs, double toMs) {
  size_t first, last;
  Range(r, fromMs, toMs, first, last);
  const size_t n = last - first;
  if (n < 2) return 0;
  const double coeff = 2 * std::cos(2 * kPi * hz / r.rate);
  double s1 = 0, s2 = 0, windowSum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(i) / static_cast<double>(n - 1));
    windowSum += w;
    const double s = w * r.samples[first + i] + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  const double power = std::max(0.0, s1 * s1 + s2 * s2 - coeff * s1 * s2);
  return 2 * std::sqrt(power) / windowSum;
}

double ZeroCrossingHz(const Recording& r, double fromMs, double toMs) {
  size_t first, last;
  Range(r, fromMs, toMs, first, last);
  // A crossing counts only after the signal went clearly below zero since the last
  // one, so that noise around zero is not taken for periods.
  constexpr float kHysteresis = 0.005f;
  bool armed = false;
  double previous = -1;
  std::vector<double> periods;
  for (size_t i = first + 1; i < last; ++i) {
    const float a = r.samples[i - 1], b = r.samples[i];
    if (a < -kHysteresis) armed = true;
    if (armed && a < 0 && b >= 0) {
      const double t = static_cast<double>(i - 1) + a / (a - b);
      if (previous >= 0) periods.push_back(t - previous);
      previous = t;
      armed = false;
    }
  }
  if (periods.size() < 2) return 0;
  // The middle period: a dropout or a jump in the sound spoils one or two, not it.
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return r.rate / periods[periods.size() / 2];
}

double FirstSoundMs(const Recording& r, double threshold, double fromMs, double toMs) {
  size_t first, last;
  Range(r, fromMs, toMs, first, last);
  for (size_t i = first; i < last; ++i) {
    if (std::fabs(r.samples[i]) >= threshold) return Ms(r, static_cast<double>(i));
  }
  return -1;
}

double LastSoundMs(const Recording& r, double threshold, double fromMs, double toMs) {
  size_t first, last;
  Range(r, fromMs, toMs, first, last);
  for (size_t i = last; i > first; --i) {
    if (std::fabs(r.samples[i - 1]) >= threshold) return Ms(r, static_cast<double>(i - 1));
  }
  return -1;
}

std::vector<Span> Sounds(const Recording& r, double threshold, double silenceMs) {
  std::vector<Span> spans;
  const double silence = silenceMs * r.rate / 1000.0;
  bool open = false;
  size_t lastLoud = 0;
  for (size_t i = 0; i < r.samples.size(); ++i) {
    if (std::fabs(r.samples[i]) < threshold) continue;
    if (open && static_cast<double>(i - lastLoud) >= silence) {
      spans.back().endMs = Ms(r, static_cast<double>(lastLoud));
      open = false;
    }
    if (!open) {
      spans.push_back({Ms(r, static_cast<double>(i)), 0});
      open = true;
    }
    lastLoud = i;
  }
  if (open) spans.back().endMs = Ms(r, static_cast<double>(lastLoud));
  return spans;
}

}  // namespace soundcheck
