// The game's sound player (TWheel_Wave with the real mixer on the default playing
// device) driven by a timed script, for the listening tests and the audio benchmark.
//
//   sound_probe <appdir> <ms>:<action>...
//
// <appdir> holds GameSkin\Wheel\sound\ (a Windows path; the trailing backslash may be
// left out). Each action runs once <ms> milliseconds have passed since the player was
// ready; actions of the same time run back to back, in the order given:
//   back+ back-            PlayBackSound(true / false)
//   wheel+ wheel-          PlayWheelSound(true / false)
//   over1 over2            PlayOverSound(true / false)
//   play:NAME stop:NAME    the mixer's Play / Stop of a channel
//   loop:NAME once:NAME    the mixer's SetLooping(true / false) of a channel
//   cpu                    reports the CPU time the process used so far
//   quit                   ends the script (so does its last action)
// Messages are served the whole time: the mixer notices ends on its window timer.
//
// Output, times in milliseconds since the probe started (QueryPerformanceCounter):
//   start qpc <counter> freq <counts per second>     the counter at time 0
//   buffer <name> <duration ms> loop|once            each channel, once ready
//   ready at <t>
//   <action> at <t>          just before the action's call
//   end <name> at <t>        the mixer's OnBufferEnd
//   cpu <user+kernel ms> at <t>
//   done at <t>              the player is destroyed
//   error: <text>            exit code 1
// Exit code 0 after the script, 1 on an error of the player, 2 on bad arguments.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "uWheel_Wave.h"
#include "win/gbk_text.h"

namespace {

LARGE_INTEGER qpcStart;
LARGE_INTEGER qpcFrequency;

double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - qpcStart.QuadPart) * 1000.0 /
         static_cast<double>(qpcFrequency.QuadPart);
}

// One line on stdout at once: the driver reads them while the probe runs.
void Report(const std::string& what, double ms) {
  std::printf("%s at %.2f\n", what.c_str(), ms);
  std::fflush(stdout);
}

struct Step {
  double atMs = 0;
  std::string action;   // "play", "back+", ...
  std::string channel;  // for the mixer's actions
};

bool IsKnownAction(const std::string& a) {
  static const char* const known[] = {"back+", "back-", "wheel+", "wheel-", "over1", "over2", "cpu", "quit"};
  return std::find(std::begin(known), std::end(known), a) != std::end(known);
}

bool IsChannelAction(const std::string& a) {
  return a == "play" || a == "stop" || a == "loop" || a == "once";
}

// "<ms>:<action>" or "<ms>:<action>:<channel>"; false when it is not one.
bool ParseStep(const std::string& text, Step& step) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  long ms = -1;
  const auto r = std::from_chars(text.data(), text.data() + colon, ms);
  if (r.ec != std::errc() || r.ptr != text.data() + colon || ms < 0) return false;
  step.atMs = static_cast<double>(ms);
  const std::string rest = text.substr(colon + 1);
  const size_t second = rest.find(':');
  step.action = rest.substr(0, second);
  step.channel = second == std::string::npos ? std::string() : rest.substr(second + 1);
  if (IsChannelAction(step.action)) return !step.channel.empty();
  return step.channel.empty() && IsKnownAction(step.action);
}

double CpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& f) {
    return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100-ns units
}

TWaveBuffer& Channel(TWheel_Wave& player, const std::string& name) {
  TWaveBuffer* b = player.Mixer().FindBuffer(name);
  if (!b) throw std::runtime_error("no channel named " + name);
  return *b;
}

void RunStep(TWheel_Wave& player, const Step& s) {
  const std::string what = s.channel.empty() ? s.action : s.action + ":" + s.channel;
  if (s.action == "cpu") {
    const double cpu = CpuMs();
    std::printf("cpu %.1f at %.2f\n", cpu, NowMs());
    std::fflush(stdout);
    return;
  }
  Report(what, NowMs());
  if (s.action == "back+") player.PlayBackSound(true);
  if (s.action == "back-") player.PlayBackSound(false);
  if (s.action == "wheel+") player.PlayWheelSound(true);
  if (s.action == "wheel-") player.PlayWheelSound(false);
  if (s.action == "over1") player.PlayOverSound(true);
  if (s.action == "over2") player.PlayOverSound(false);
  if (s.action == "play") player.Mixer().Play(&Channel(player, s.channel));
  if (s.action == "stop") player.Mixer().Stop(&Channel(player, s.channel));
  if (s.action == "loop") player.Mixer().SetLooping(&Channel(player, s.channel), true);
  if (s.action == "once") player.Mixer().SetLooping(&Channel(player, s.channel), false);
}

// Serves this thread's messages until `untilMs`, waking for each one that arrives.
void ServeUntil(double untilMs) {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const double left = untilMs - NowMs();
    if (left <= 0) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left) + 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

HWND CreateHiddenOwner() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SoundProbeOwner";
  RegisterClassW(&wc);
  // Never shown: the player only needs a window to cooperate with the device.
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"sound_probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) throw std::runtime_error("the owner window cannot be created");
  return hwnd;
}

int Run(const std::string& appDir, const std::vector<Step>& steps) {
  HWND owner = CreateHiddenOwner();
  {
    TWheel_Wave player(owner, std::make_unique<TWaveMixer>(owner), std::make_unique<TMemoryWave>(), appDir);
    // The player may watch ends itself; the probe reports them and passes them on.
    auto passOn = player.Mixer().OnBufferEnd;
    player.Mixer().OnBufferEnd = [passOn](TWaveBuffer& b) {
      Report("end " + b.Name(), NowMs());
      if (passOn) passOn(b);
    };
    for (TWaveBuffer* b : player.Mixer().Buffers()) {
      std::printf("buffer %s %u %s\n", b->Name().c_str(), static_cast<unsigned>(b->DurationMs()),
                  b->Looping() ? "loop" : "once");
    }
    const double ready = NowMs();
    Report("ready", ready);
    for (const Step& s : steps) {
      ServeUntil(ready + s.atMs);
      if (s.action == "quit") break;
      RunStep(player, s);
    }
  }
  Report("done", NowMs());
  DestroyWindow(owner);
  return 0;
}

}  // namespace

int main() {
  QueryPerformanceFrequency(&qpcFrequency);
  QueryPerformanceCounter(&qpcStart);
  std::printf("start qpc %lld freq %lld\n", static_cast<long long>(qpcStart.QuadPart),
              static_cast<long long>(qpcFrequency.QuadPart));
  std::fflush(stdout);

  int argc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = wargv[i];
    // The folder ends in a backslash; added in UTF-16, where a backslash is always one.
    if (i == 1 && !arg.empty() && arg.back() != L'\\') arg += L'\\';
    args.push_back(gbk::FromWide(arg));
  }
  LocalFree(wargv);
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: sound_probe <appdir> <ms>:<action>...\n");
    return 2;
  }
  const std::string appDir = args[0];
  std::vector<Step> steps;
  for (size_t i = 1; i < args.size(); ++i) {
    Step s;
    if (!ParseStep(args[i], s)) {
      std::fprintf(stderr, "sound_probe: not a step: %s\n", args[i].c_str());
      return 2;
    }
    steps.push_back(s);
  }
  std::stable_sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.atMs < b.atMs; });

  try {
    return Run(appDir, steps);
  } catch (const std::exception& e) {
    std::printf("error: %s\n", e.what());
    std::fflush(stdout);
    std::fprintf(stderr, "sound_probe: %s\n", e.what());
    return 1;
  }
}
