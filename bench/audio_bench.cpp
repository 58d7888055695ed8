// Measures the game's sound player under Wine (run by audio_bench.sh, which starts the
// display and sound daemon when needed):
//
//   audio_bench <sound_probe.exe> <wine-run.sh> [plays]
//
// 1. Play to sound: Over1 is started `plays` times (default 20), at uneven gaps so the
//    starts fall at every point of the device's mixing period, while its own null sink
//    is recorded. Each onset in the recording, against the probe's time of its Play:
//    - relative: (onset - first onset) - (Play - first Play), less its median: the
//      spread of the delay, needing no clock shared by the two processes;
//    - absolute: when the probe's QueryPerformanceCounter runs on the host's
//      CLOCK_MONOTONIC_RAW (checked here), the time from Play to when the recorder
//      received the sound's first samples from the sound daemon. That includes Wine's
//      mixing and its stream's queue and the recorder's own fragment (5 ms), not the
//      buffer of a real output device.
// 2. CPU: the probe's process while the mixer is open and idle for 10 s, then while all
//    four channels play (looping) for 10 s, as GetProcessTimes reports it and as the
//    host sees the process (/proc/<pid>/stat), in % of one core; the Wine server beside.
// Prints figures only.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "sound_analysis.h"
#include "sound_rig.h"

namespace fs = std::filesystem;
using namespace soundcheck;

namespace {

constexpr int kRate = 22050;
constexpr int kSettleMs = 500;
constexpr double kLoud = 0.02;

// A folder of our own for the sound files, removed at the end (prefix checked).
class WorkDir {
 public:
  WorkDir() {
    char tmpl[] = "/tmp/gyrelot-bench-XXXXXX";
    if (mkdtemp(tmpl)) path_ = tmpl;
  }
  ~WorkDir() {
    std::error_code ec;
    if (path_.filename().string().rfind("gyrelot-bench-", 0) == 0) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// utime + stime of a host process, in ms; -1 when it cannot be read.
double ProcCpuMs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string f;
  double ticks = 0;
  // Fields after the name: state is 3; utime and stime are 14 and 15.
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(f);
  }
  return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ProcText(pid_t pid, const char* file) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The Wine server of our prefix: a process named wineserver* started with our WINEPREFIX.
pid_t FindWineServer() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (!prefix) return -1;
  const std::string want = std::string("WINEPREFIX=") + prefix;
  for (const auto& e : fs::directory_iterator("/proc")) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    if (ProcText(pid, "comm").rfind("wineserver", 0) != 0) continue;  // "wineserver64" too
    std::string env = ProcText(pid, "environ");
    std::replace(env.begin(), env.end(), '\0', '\n');
    std::istringstream vars(env);
    for (std::string v; std::getline(vars, v);) {
      if (v == want) return pid;
    }
  }
  return -1;
}

std::vector<std::string> ProbeArgs(const std::string& wineRun, const std::string& probe, const fs::path& app,
                                   const std::vector<std::pair<int, std::string>>& steps) {
  std::vector<std::string> argv = {"/bin/bash", wineRun, probe, WinPath(app)};
  for (const auto& [ms, action] : steps) argv.push_back(std::to_string(ms + kSettleMs) + ":" + action);
  return argv;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Summary(const char* what, const std::vector<double>& v) {
  std::printf("  %-46s min %7.1f ms, median %7.1f ms, max %7.1f ms\n", what,
              *std::min_element(v.begin(), v.end()), Median(v), *std::max_element(v.begin(), v.end()));
}

int PlayToSound(const std::string& probe, const std::string& wineRun, const fs::path& app, int plays) {
  OwnSink sink("gyrelot_bench_" + std::to_string(getpid()));
  if (!sink.Loaded()) {
    std::fprintf(stderr, "audio_bench: pactl could not load a null sink\n");
    return 1;
  }
  Recorder recorder(sink.Monitor(), kRate);
  if (!recorder.WaitForSamples(1, 10000)) {
    std::fprintf(stderr, "audio_bench: parec recorded nothing\n");
    return 1;
  }
  // Gaps of 600 ms plus 0 to 36 ms in steps of 3 ms, out of step with a 10-ms period.
  std::vector<std::pair<int, std::string>> steps;
  int at = 0;
  for (int i = 0; i < plays; ++i, at += 600 + (i * 7 % 13) * 3) steps.emplace_back(at, "over1");
  steps.emplace_back(at + 400, "quit");

  const int64_t launched = MonotonicRawNs();
  int64_t startLineSeen = -1;
  long long startQpc = -1, qpcFrequency = 0;
  std::vector<std::string> lines;
  int exitCode;
  {
    ChildProcess p(ProbeArgs(wineRun, probe, app, steps), {"PULSE_SINK=" + sink.Name()});
    std::string line;
    if (p.ReadLine(line, 30000)) {
      startLineSeen = MonotonicRawNs();
      std::sscanf(line.c_str(), "start qpc %lld freq %lld", &startQpc, &qpcFrequency);
    }
    exitCode = p.Wait(120000);
    lines = p.Lines();
  }
  const size_t have = recorder.Samples();
  recorder.WaitForSamples(have + kRate / 2, 10000);  // the sink's last block
  const Recording rec = recorder.Stop();
  if (exitCode != 0) {
    std::fprintf(stderr, "audio_bench: the probe failed (exit code %d)\n", exitCode);
    for (const auto& l : lines) std::fprintf(stderr, "  %s\n", l.c_str());
    return 1;
  }
  const ProbeEvents events(lines);
  const auto sounds = Sounds(rec, kLoud, 150);
  if (static_cast<int>(sounds.size()) != plays || events.Count("over1") != plays) {
    std::fprintf(stderr, "audio_bench: %zu sounds heard for %d plays\n", sounds.size(),
                 events.Count("over1"));
    return 1;
  }

  std::printf("Play to sound, Over1 started %d times (%.0f s):\n", plays, at / 1000.0);
  std::vector<double> delays, absolute;
  // The probe's time 0 on the host's clock, if the two clocks are one.
  const bool sharedClock =
      qpcFrequency == 10000000 && startQpc * 100 >= launched && startQpc * 100 <= startLineSeen;
  for (int i = 0; i < plays; ++i) {
    delays.push_back((sounds[i].startMs - sounds[0].startMs) -
                     (events.At("over1", i) - events.At("over1", 0)));
    if (sharedClock) {
      const auto index = static_cast<size_t>(sounds[i].startMs * kRate / 1000);
      const double playNs = startQpc * 100.0 + events.At("over1", i) * 1e6;
      absolute.push_back((static_cast<double>(recorder.ArrivalNs(index)) - playNs) / 1e6);
    }
  }
  // Each delay less their median: how much one Play's delay differs from the usual one.
  const double median = Median(delays);
  for (double& d : delays) d -= median;
  Summary("relative to the median delay (jitter):", delays);
  if (sharedClock) {
    Summary("absolute, Play to samples at the recorder:", absolute);
    std::printf("  each, in order (ms):");
    for (double d : absolute) std::printf(" %.1f", d);
    std::printf("\n");
  } else {
    std::printf("  absolute: not measurable here (the probe's counter is not the host's monotonic clock)\n");
  }
  return 0;
}

int Cpu(const std::string& probe, const std::string& wineRun, const fs::path& app) {
  OwnSink sink("gyrelot_bench_cpu_" + std::to_string(getpid()));
  const int window = 10000;
  const std::vector<std::pair<int, std::string>> steps = {
      {0, "cpu"},        {window, "cpu"},     {window, "loop:Over1"}, {window, "loop:Over2"},
      {window, "back+"}, {window, "wheel+"},  {window, "play:Over1"}, {window, "play:Over2"},
      {window, "cpu"},   {2 * window, "cpu"}, {2 * window, "quit"},
  };
  std::vector<std::string> env;
  if (sink.Loaded()) env.push_back("PULSE_SINK=" + sink.Name());
  ChildProcess p(ProbeArgs(wineRun, probe, app, steps), env);
  const pid_t server = FindWineServer();
  // At each "cpu" line: the probe's own figure, the host's of the process and the server.
  struct Sample {
    double wallMs, probeCpuMs, hostCpuMs, serverCpuMs;
  };
  std::vector<Sample> samples;
  std::string line;
  while (p.ReadLine(line, 60000)) {
    double cpu = 0, at = 0;
    if (std::sscanf(line.c_str(), "cpu %lf at %lf", &cpu, &at) == 2) {
      samples.push_back({at, cpu, ProcCpuMs(p.Pid()), server > 0 ? ProcCpuMs(server) : -1});
    }
  }
  const int exitCode = p.Wait(30000);
  if (exitCode != 0 || samples.size() != 4) {
    std::fprintf(stderr, "audio_bench: the CPU run failed (exit code %d, %zu samples)\n", exitCode,
                 samples.size());
    return 1;
  }
  auto percent = [&](int a, int b, double Sample::*f) {
    if (samples[a].*f < 0) return -1.0;
    return 100.0 * (samples[b].*f - samples[a].*f) / (samples[b].wallMs - samples[a].wallMs);
  };
  std::printf("CPU of the probe's Wine process (%% of one core), %d s each:\n", window / 1000);
  const char* names[] = {"mixer open, nothing playing:", "four channels playing (looping):"};
  for (int w = 0; w < 2; ++w) {
    const int a = w * 2, b = w * 2 + 1;
    std::printf("  %-34s %5.1f %% (GetProcessTimes), %5.1f %% (/proc), Wine server %5.1f %%\n", names[w],
                percent(a, b, &Sample::probeCpuMs), percent(a, b, &Sample::hostCpuMs),
                percent(a, b, &Sample::serverCpuMs));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: audio_bench <sound_probe.exe> <wine-run.sh> [plays]\n");
    return 2;
  }
  int plays = 20;
  if (argc > 3) {
    const char* end = argv[3] + std::char_traits<char>::length(argv[3]);
    if (std::from_chars(argv[3], end, plays).ptr != end || plays < 2) {
      std::fprintf(stderr, "audio_bench: plays must be a number of at least 2\n");
      return 2;
    }
  }
  WorkDir work;
  if (work.path().empty() || !MakeSounds(work.path())) {
    std::fprintf(stderr, "audio_bench: the sound files could not be made (sox)\n");
    return 1;
  }
  if (PlayToSound(argv[1], argv[2], work.path(), plays) != 0) return 1;
  return Cpu(argv[1], argv[2], work.path());
}
