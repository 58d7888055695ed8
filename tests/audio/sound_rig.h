// What the listening tests and the audio benchmark share to play the game's sounds under
// Wine and record them: the sound files, a null sink of their own in the sound daemon,
// a recorder of its monitor and the probe's report.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound_analysis.h"

namespace soundcheck {

// The sounds the rig makes for GameSkin\Wheel\sound\, each at a fifth of full scale so
// that four together never clip.
constexpr int kFileRate = 22050;
constexpr double kAmplitude = 0.2;
constexpr double kSweepFromHz = 300, kSweepToHz = 1200, kSweepMs = 2000;  // back.wav, a linear sweep
constexpr double kWheelHz = 660, kWheelMs = 1000;                         // Wheel.wav
// over_1.wav. Two channels of it started in neighbouring 10-ms mixing periods of the
// device still add up in phase at a whole number of cycles per 10 ms; and it is no
// harmonic of Wheel.wav's tone.
constexpr double kOverHz = 1300, kOverMs = 300;

// The frequency of back.wav `ms` into the file.
inline double SweepHz(double ms) {
  return kSweepFromHz + (kSweepToHz - kSweepFromHz) * ms / kSweepMs;
}

// Writes the three files into `appDir`/GameSkin/Wheel/sound/ with sox; false on failure.
bool MakeSounds(const std::filesystem::path& appDir);

// The full path of a program on PATH, or "".
std::string FindProgram(const std::string& name);
// Runs a program to its end (at most 10 s); its exit code and first output line.
int RunProgram(const std::vector<std::string>& argv, std::string* firstLine = nullptr);
// The Windows form of a host path: Wine's drive Z: is the host's root.
std::string WinPath(const std::filesystem::path& p);

// A null sink of our own in the sound daemon (PULSE_SERVER), unloaded at the end.
class OwnSink {
 public:
  explicit OwnSink(const std::string& name);
  ~OwnSink();
  OwnSink(const OwnSink&) = delete;
  OwnSink& operator=(const OwnSink&) = delete;
  bool Loaded() const { return !index_.empty(); }
  const std::string& Name() const { return name_; }
  std::string Monitor() const { return name_ + ".monitor"; }

 private:
  std::string name_;
  std::string index_;
};

// parec recording a source as 16-bit mono samples through a pipe, each read stamped
// with the host's CLOCK_MONOTONIC_RAW.
class Recorder {
 public:
  Recorder(const std::string& source, int rate);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool Started() const { return pid_ > 0; }
  int Rate() const { return rate_; }
  size_t Samples() const;
  // Waits until `count` samples have arrived; false after `timeoutMs`.
  bool WaitForSamples(size_t count, int timeoutMs) const;
  // The samples from `from` on, as recorded so far.
  Recording Since(size_t from) const;
  // Ends parec (SIGINT to its process id) and returns everything recorded.
  Recording Stop();
  // When sample `index` had arrived (CLOCK_MONOTONIC_RAW, ns); -1 if it never did.
  int64_t ArrivalNs(size_t index) const;

 private:
  void Read();

  int rate_;
  pid_t pid_ = -1;
  int out_ = -1;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::string bytes_;
  // (bytes received so far, time) after each read
  std::vector<std::pair<size_t, int64_t>> arrivals_;
};

int64_t MonotonicRawNs();

// The probe's report: "<what> at <ms>" lines, in order.
struct ProbeEvents {
  struct Event {
    std::string what;
    double ms;
  };
  std::vector<Event> events;

  explicit ProbeEvents(const std::vector<std::string>& lines);
  // The time of the `nth` event `what`; -1 when there is none.
  double At(const std::string& what, int nth = 0) const;
  int Count(const std::string& what) const;
};

}  // namespace soundcheck
