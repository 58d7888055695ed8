#include "sound_rig.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "../integration/child_process.h"

namespace fs = std::filesystem;

namespace soundcheck {

int64_t MonotonicRawNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const fs::path p = fs::path(dir) / name;
    if (!dir.empty() && access(p.c_str(), X_OK) == 0) return p.string();
  }
  return "";
}

int RunProgram(const std::vector<std::string>& argv, std::string* firstLine) {
  if (argv.empty() || argv[0].empty()) return -1;
  ChildProcess p(argv);
  std::string line;
  if (p.ReadLine(line, 10000) && firstLine) *firstLine = line;
  return p.Wait(10000);
}

std::string WinPath(const fs::path& p) {
  std::string s = "Z:" + p.string();
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

bool MakeSounds(const fs::path& appDir) {
  const fs::path dir = appDir / "GameSkin" / "Wheel" / "sound";
  std::error_code ec;
  fs::create_directories(dir, ec);
  const std::string sox = FindProgram("sox");
  auto make = [&](const char* file, double ms, const std::string& hz) {
    return RunProgram({sox, "-n", "-r", std::to_string(kFileRate), "-c", "1", "-b", "16", "-e",
                       "signed-integer", (dir / file).string(), "synth", std::to_string(ms / 1000), "sine",
                       hz, "vol", std::to_string(kAmplitude)}) == 0;
  };
  // "a:b" is sox's linear sweep from a to b.
  return make("back.wav", kSweepMs, std::to_string(kSweepFromHz) + ":" + std::to_string(kSweepToHz)) &&
         make("Wheel.wav", kWheelMs, std::to_string(kWheelHz)) &&
         make("over_1.wav", kOverMs, std::to_string(kOverHz));
}

OwnSink::OwnSink(const std::string& name) : name_(name) {
  std::string index;
  if (RunProgram({FindProgram("pactl"), "load-module", "module-null-sink", "sink_name=" + name}, &index) ==
      0) {
    index_ = index;
  }
}

OwnSink::~OwnSink() {
  if (!index_.empty()) RunProgram({FindProgram("pactl"), "unload-module", index_});
}

Recorder::Recorder(const std::string& source, int rate) : rate_(rate) {
  const std::string parec = FindProgram("parec");
  if (parec.empty()) return;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  const std::vector<std::string> args = {parec, "--device=" + source, "--format=s16le",
                                         "--rate=" + std::to_string(rate), "--channels=1", "--raw",
                                         // Small fragments: each read is stamped close to
                                         // when the server handed its samples over.
                                         "--latency-msec=5"};
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], STDOUT_FILENO);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }
  out_ = fds[0];
  reader_ = std::thread(&Recorder::Read, this);
}

Recorder::~Recorder() {
  Stop();
}

void Recorder::Read() {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return;
    const int64_t now = MonotonicRawNs();
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_.append(buf, static_cast<size_t>(n));
    arrivals_.emplace_back(bytes_.size(), now);
  }
}

size_t Recorder::Samples() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_.size() / 2;
}

bool Recorder::WaitForSamples(size_t count, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Samples() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

Recording Recorder::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGINT);
    // parec ends at once on SIGINT; should it not, it is killed after a while.
    int status = 0;
    pid_t r = 0;
    for (int i = 0; i < 300 && (r = waitpid(pid_, &status, WNOHANG)) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (r == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  if (out_ >= 0) {
    close(out_);
    out_ = -1;
  }
  return Since(0);
}

Recording Recorder::Since(size_t from) const {
  Recording r;
  r.rate = rate_;
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = from * 2; i + 1 < bytes_.size(); i += 2) {
    const auto lo = static_cast<uint8_t>(bytes_[i]);
    const auto hi = static_cast<uint8_t>(bytes_[i + 1]);
    r.samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8))) / 32768.0f);
  }
  return r;
}

int64_t Recorder::ArrivalNs(size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t byte = index * 2 + 2;
  const auto it = std::lower_bound(arrivals_.begin(), arrivals_.end(), byte,
                                   [](const std::pair<size_t, int64_t>& a, size_t b) { return a.first < b; });
  return it == arrivals_.end() ? -1 : it->second;
}

ProbeEvents::ProbeEvents(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    const size_t at = line.rfind(" at ");
    if (at == std::string::npos) continue;
    double ms = 0;
    const char* end = line.data() + line.size();
    if (std::from_chars(line.data() + at + 4, end, ms).ec == std::errc())
      events.push_back({line.substr(0, at), ms});
  }
}

double ProbeEvents::At(const std::string& what, int nth) const {
  for (const auto& e : events) {
    if (e.what == what && nth-- == 0) return e.ms;
  }
  return -1;
}

int ProbeEvents::Count(const std::string& what) const {
  return static_cast<int>(
      std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.what == what; }));
}

}  // namespace soundcheck
