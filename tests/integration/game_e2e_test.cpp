// Gyrelot.exe end to end: the real game client under Wine against the real wheel-server
// on 127.0.0.1:18001 (the game's port is fixed), played from outside by ui_driver.exe as
// a person would: labels and the message pane read back, the start and exit images
// clicked, the wheel read from screenshots of the test display, and the sound device
// recorded. Run from the Windows test run, which provides Wine, the display, the sound
// daemon and these paths: GYRELOT_EXE, WHEEL_PLAY, UI_DRIVER, WINE_RUN, WHEEL_SERVER;
// GAME_SHOTS (optional) is a folder that keeps the screenshots. String literals are
// UTF-8 (ui_driver and the server's log speak UTF-8).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../portable/temp_dir.h"
#include "child_process.h"
#include "sound_analysis.h"
#include "sound_rig.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

constexpr char kCaption[] = "幸运大转盘";
constexpr int kGamePort = 18001;
constexpr char kLoopback[] = "2130706433";  // 127.0.0.1 as the game's argument writes it
// The server's settings: not the defaults, so that labels showing them show the
// server's word. Every sector is as likely as any other, so that a wheel stopping in
// the wrong place cannot hide behind the most frequent sector.
constexpr int kStake = 25;
constexpr int kInitialCoins = 800;
// The server's default prize table, sector 1 to 8.
const std::vector<int> kPrizes = {0, 5, 10, 20, 50, 100, 200, 500};

// How long, over the whole run, another program's server may keep the fixed port or
// its game the prefix before the tests give up.
constexpr int kForeignWaitMs = 120000;
constexpr int kLoginMs = 40000;
constexpr int kSpinEndMs = 30000;

// The wheel in PaintBox1: the disc turns about the picture's centre, and the pointer
// points down at the top of column 275. The wheel is read straight below the pointer's
// tip, between the prize's figures and the words under them, where every sector is
// one flat colour; a few points around it must all agree.
constexpr int kCentreX = 275, kCentreY = 245;
constexpr int kReadRadius = 135;
const std::vector<std::pair<int, int>> kReadOffsets = {{0, 0}, {-10, 0}, {10, 0}, {0, -10}, {0, 10}};
// Sum of the three channels' differences a read point may be off its sector's colour.
constexpr int kColourTolerance = 36;

// The spin loop Wheel.wav is ten short clicks a second, each with a strong 2300-Hz ring
// that the background loop and the end chime lack: a click's ring reaches about 0.1 in
// a 10-ms stretch, the other sounds stay below 0.02 at that frequency.
constexpr int kRate = 22050;
constexpr double kClickHz = 2300;
constexpr double kClickLevel = 0.04;
// A level below which the device is taken as silent (the sounds play at about 0.1).
constexpr double kSilence = 0.01;

double Ms(size_t sample) {
  return sample * 1000.0 / kRate;
}

// Of the 100-ms blocks of [fromMs, toMs), the share that hold a click of the spin loop:
// the block's loudest 10-ms stretch of the click's ring reaches kClickLevel.
double ClickShare(const soundcheck::Recording& r, double fromMs, double toMs) {
  int blocks = 0, clicks = 0;
  for (double t = fromMs; t + 100 <= toMs; t += 100, ++blocks) {
    double loudest = 0;
    for (double u = t; u + 10 <= t + 100; u += 5)
      loudest = std::max(loudest, soundcheck::ToneLevel(r, kClickHz, u, u + 10));
    if (loudest >= kClickLevel) ++clicks;
  }
  return blocks ? static_cast<double>(clicks) / blocks : 0;
}

std::vector<std::string> Wine(const std::string& exe, std::vector<std::string> args) {
  std::vector<std::string> argv = {"/bin/bash", Env("WINE_RUN"), exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool PortFree() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(kGamePort);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool free = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return free;
}

// The numbers captured by `pattern` in `line`, or none when it does not match.
std::optional<std::vector<int>> Numbers(const std::string& line, const std::string& pattern) {
  std::smatch m;
  if (!std::regex_search(line, m, std::regex(pattern))) return std::nullopt;
  std::vector<int> out;
  for (size_t i = 1; i < m.size(); ++i) out.push_back(std::stoi(m[i].str()));
  return out;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// ---------------------------------------------------------------------------------
// Pictures: a PNG read through ImageMagick as 8-bit RGB.

struct Rgb {
  int r = 0, g = 0, b = 0;
};

int Distance(const Rgb& a, const Rgb& b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

std::string Show(const Rgb& c) {
  char s[16];
  std::snprintf(s, sizeof s, "#%02X%02X%02X", c.r, c.g, c.b);
  return s;
}

class Picture {
 public:
  // Converts `png` to a binary PPM in `scratch` and reads it; false on any failure.
  bool Load(const fs::path& png, const fs::path& scratch) {
    const fs::path ppm = scratch / (png.stem().string() + ".ppm");
    if (soundcheck::RunProgram(
            {soundcheck::FindProgram("convert"), png.string(), "-depth", "8", "ppm:" + ppm.string()}) != 0) {
      return false;
    }
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxval = 0;
    // "P6 <width> <height> 255" and one white-space byte, then the pixels.
    if (!(in >> magic >> width_ >> height_ >> maxval) || magic != "P6" || maxval != 255 || width_ <= 0 ||
        height_ <= 0) {
      return false;
    }
    in.get();
    bytes_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    return static_cast<size_t>(in.gcount()) == bytes_.size();
  }
  bool Has(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    return {bytes_[i], bytes_[i + 1], bytes_[i + 2]};
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> bytes_;
};

// Where sector s's middle line crosses the read circle, in the unturned picture.
std::pair<int, int> SectorPoint(int sector) {
  const double a = (sector - 1) * 45.0 * M_PI / 180.0;
  return {static_cast<int>(std::lround(kCentreX + kReadRadius * std::sin(a))),
          static_cast<int>(std::lround(kCentreY - kReadRadius * std::cos(a)))};
}

// Where the Wine desktop that holds the game's window lies on the X screen: Wine draws
// its virtual desktop as one X window, and window coordinates are the desktop's.
// (0, 0) without a virtual desktop.
std::pair<int, int> DesktopOrigin() {
  ChildProcess p({soundcheck::FindProgram("xwininfo"), "-root", "-tree"});
  p.Wait(10000);
  const auto& lines = p.Lines();
  const std::string game = std::string("\"") + kCaption + "\"";
  auto indent = [](const std::string& l) { return l.find_first_not_of(' '); };
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(game) == std::string::npos) continue;
    for (size_t j = i; j-- > 0;) {
      if (indent(lines[j]) >= indent(lines[i])) continue;
      if (lines[j].find("Wine desktop") == std::string::npos) break;
      // "... 1024x768+0+0  +0+0": the last pair is the position on the screen.
      if (auto n = Numbers(lines[j], R"(\+(-?\d+)\+(-?\d+)\s*$)")) return {(*n)[0], (*n)[1]};
      break;
    }
    break;
  }
  return {0, 0};
}

// ---------------------------------------------------------------------------------

class GyrelotE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The sector colours, as the asset pack the game loads has them.
    wheelColours_.clear();
    const fs::path exe = Env("GYRELOT_EXE");
    const fs::path wheelPng = exe.parent_path() / "GameSkin" / "Wheel" / "png" / "2.png";
    TempDir scratch;
    Picture wheel;
    if (!exe.empty() && wheel.Load(wheelPng, scratch.path())) {
      for (int s = 1; s <= 8; ++s) {
        const auto [x, y] = SectorPoint(s);
        wheelColours_.push_back(wheel.At(x, y));
      }
    }
  }

  void SetUp() override {
    for (const char* v : {"GYRELOT_EXE", "WHEEL_PLAY", "UI_DRIVER", "WINE_RUN", "WHEEL_SERVER"}) {
      ASSERT_FALSE(Env(v).empty()) << v << " is not set: run this test through the Windows ctest";
      ASSERT_TRUE(fs::exists(Env(v))) << Env(v);
    }
    ASSERT_FALSE(Env("DISPLAY").empty()) << "no display: start the harness (scripts/harness.sh)";
    ASSERT_FALSE(Env("PULSE_SERVER").empty()) << "no sound daemon: start the harness (scripts/harness.sh)";
    for (const char* p : {"convert", "import", "xwininfo", "parec", "pactl"})
      ASSERT_FALSE(soundcheck::FindProgram(p).empty()) << p << " is missing";
    ASSERT_EQ(wheelColours_.size(), 8u) << "cannot read the wheel's picture beside " << Env("GYRELOT_EXE");
    shots_ = Env("GAME_SHOTS").empty() ? dir_.path() : fs::path(Env("GAME_SHOTS"));
    fs::create_directories(shots_);

    // The game of another run (same Wine prefix) would take the one-game mutex; its
    // server would take the port. Both are waited for, never ended.
    static const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kForeignWaitMs);
    while (Driver({"wait", "--caption", kCaption, "--timeout", "0"}).code == 0) {
      if (std::chrono::steady_clock::now() >= until)
        FAIL() << "a window \"" << kCaption << "\" of another run stays open in this Wine prefix";
      Pause(2000);
    }
    while (!PortFree()) {
      if (std::chrono::steady_clock::now() >= until)
        FAIL() << "UDP 127.0.0.1:" << kGamePort << " stays in use by another program (`ss -lunp` names it); "
               << "the game's port is fixed, so this test needs it: stop that program and run the test again";
      Pause(2000);
    }

    sink_ = std::make_unique<soundcheck::OwnSink>("gyrelot_game_e2e_" + std::to_string(getpid()));
    ASSERT_TRUE(sink_->Loaded()) << "cannot load a null sink into the sound daemon";
    StartServer();
  }

  void TearDown() override {
    // Only what this test started, by its process id.
    for (auto* p : {&player_, &second_, &companion_}) {
      if (*p) {
        (*p)->Signal(SIGKILL);
        (*p)->Wait(10000);
        p->reset();
      }
    }
    if (server_) StopServer();
    recorder_.reset();
    sink_.reset();
  }

  // --- the server ---

  void StartServer() {
    server_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        Env("WHEEL_SERVER"), "--listen", "127.0.0.1", "--port", std::to_string(kGamePort), "--db",
        (dir_.path() / "wheel.db").string(), "--stake", std::to_string(kStake), "--initial-coins",
        std::to_string(kInitialCoins), "--weights", "1,1,1,1,1,1,1,1", "--stats-interval", "0"});
    std::string line;
    ASSERT_TRUE(server_->ReadLine(line, 10000)) << "wheel-server did not start";
    ASSERT_NE(line.find("listening on 127.0.0.1:18001"), std::string::npos)
        << line << " (another program may have taken the port just now)";
  }

  // Stops the server (SIGTERM) and returns its closing counters line.
  std::string StopServer() {
    server_->Signal(SIGTERM);
    EXPECT_EQ(server_->Wait(10000), 0) << "wheel-server did not end cleanly";
    std::string counters;
    for (const auto& l : server_->Lines()) {
      if (l.find("counters: ") != std::string::npos) counters = l;
    }
    server_.reset();
    return counters;
  }

  // The index of the first server log line from `from` on that contains `needle`,
  // waiting up to `ms` for it.
  std::optional<size_t> ServerLine(const std::string& needle, int ms, size_t from = 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      // Whatever the server has written by now is read first.
      for (std::string line; server_->ReadLine(line, 20);) {
      }
      const auto& lines = server_->Lines();
      for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(needle) != std::string::npos) return i;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
              .count();
      if (left <= 0) return std::nullopt;
      std::string line;
      server_->ReadLine(line, static_cast<int>(std::min<long long>(left, 200)));
    }
  }
  const std::string& Log(size_t i) const { return server_->Lines()[i]; }
  std::string WholeLog() const {
    std::string s;
    for (const auto& l : server_->Lines()) s += "    " + l + "\n";
    return s;
  }

  // --- the game and its driver ---

  struct DriverRun {
    int code = -1;
    std::string out;  // the lines it printed, each ended by "\n"
    std::string err;  // its complaints, for the failure messages
  };
  DriverRun Driver(const std::vector<std::string>& args, int ms = 40000) {
    const fs::path errors = dir_.path() / "driver.err";
    // Its standard error goes to a file (the child's own goes nowhere).
    std::vector<std::string> argv = {"/bin/bash", "-c", "e=$1; shift; exec \"$@\" 2>\"$e\"", "bash",
                                     errors.string()};
    for (const auto& a : Wine(Env("UI_DRIVER"), args)) argv.push_back(a);
    ChildProcess p(argv);
    DriverRun r;
    r.code = p.Wait(ms);
    for (const auto& l : p.Lines()) r.out += l + "\n";
    r.err = ReadFileBytes(errors.string());
    return r;
  }
  // The control's text; its line ends come back as "\n".
  std::string Text(const std::string& name) {
    const DriverRun r = Driver({"text", "--caption", kCaption, "--name", name, "--timeout", "10000"});
    EXPECT_EQ(r.code, 0) << "cannot read " << name << ": " << r.err;
    return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
  }
  void Click(const std::string& name) {
    const DriverRun r = Driver({"click", "--caption", kCaption, "--name", name});
    ASSERT_EQ(r.code, 0) << "cannot click " << name << ": " << r.err;
  }
  // Waits until the message pane holds `count` lines of `player`'s results.
  std::string WaitForResults(const std::string& player, size_t count, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::string pane;
    do {
      pane = Text("ReMsg");
      if (Occurrences(pane, player + "获得") >= count) break;
      Pause(200);
    } while (std::chrono::steady_clock::now() < until);
    return pane;
  }

  std::unique_ptr<ChildProcess> StartGame(const std::vector<std::string>& args) {
    return std::make_unique<ChildProcess>(Wine(Env("GYRELOT_EXE"), args),
                                          std::vector<std::string>{"PULSE_SINK=" + sink_->Name()});
  }

  // Starts player 1001 and waits until the window says it is logged in: the index of
  // the server's login line, none (after saying why) when it never got that far.
  std::optional<size_t> StartPlayer() {
    player_ = StartGame({std::string("1001|玩家一|") + kLoopback});
    const auto login = ServerLine("login user 1001 ", kLoginMs);
    if (!login) {
      ADD_FAILURE() << "no login reached the server:\n" << WholeLog();
      return std::nullopt;
    }
    const DriverRun pane = Driver({"wait-text", "--caption", kCaption, "--name", "ReMsg", "--contains",
                                   "登陆成功", "--timeout", "20000"});
    if (pane.code != 0) {
      ADD_FAILURE() << "the pane never said 登陆成功: " << pane.err << "\n" << WholeLog();
      return std::nullopt;
    }
    return login;
  }

  // A console player through the game's own session client (it has no one-game mutex,
  // so it runs in this prefix beside the game).
  std::unique_ptr<ChildProcess> StartCompanion(int spins, int pauseMs) {
    return std::make_unique<ChildProcess>(
        Wine(Env("WHEEL_PLAY"), {std::string("1002|玩家二|") + kLoopback, "--spins", std::to_string(spins),
                                 "--pause-ms", std::to_string(pauseMs)}));
  }

  // --- the screen ---

  fs::path Screenshot(const std::string& name) {
    const fs::path shot = shots_ / (name + ".png");
    EXPECT_EQ(soundcheck::RunProgram({soundcheck::FindProgram("import"), "-window", "root", shot.string()}),
              0)
        << "screenshot " << shot;
    return shot;
  }

  // The sector the screenshot shows under the pointer: each read point's colour
  // matched to the nearest sector colour; 0 (with the reasons in `why`) when the
  // points disagree or a colour is no sector's.
  int SectorOnScreen(const fs::path& shot, std::string& why) {
    const DriverRun rect = Driver({"rect", "--caption", kCaption, "--name", "PaintBox1"});
    const auto box = Numbers(rect.out, R"((-?\d+),(-?\d+),(\d+),(\d+))");
    if (rect.code != 0 || !box || (*box)[2] != 550 || (*box)[3] != 490) {
      why = "PaintBox1's rectangle: " + rect.out + rect.err;
      return 0;
    }
    Picture screen;
    if (!screen.Load(shot, dir_.path())) {
      why = "cannot read " + shot.string();
      return 0;
    }
    const auto [dx, dy] = DesktopOrigin();
    int seen = -1;
    for (const auto& [ox, oy] : kReadOffsets) {
      const int x = dx + (*box)[0] + kCentreX + ox, y = dy + (*box)[1] + kCentreY - kReadRadius + oy;
      if (!screen.Has(x, y)) {
        why += "point " + std::to_string(x) + "," + std::to_string(y) + " is off the screen; ";
        return 0;
      }
      const Rgb c = screen.At(x, y);
      int best = 0;
      for (int s = 1; s <= 8; ++s) {
        if (Distance(c, wheelColours_[s - 1]) < Distance(c, wheelColours_[best])) best = s - 1;
      }
      why += "(" + std::to_string(x) + "," + std::to_string(y) + ") " + Show(c) + " ~ sector " +
             std::to_string(best + 1) + " " + Show(wheelColours_[best]) + "; ";
      if (Distance(c, wheelColours_[best]) > kColourTolerance) return 0;
      if (seen != -1 && seen != best + 1) return 0;
      seen = best + 1;
    }
    return seen;
  }

  // --- the sound ---

  // Starts recording the test's own sink; false when no samples come.
  bool StartRecording() {
    recorder_ = std::make_unique<soundcheck::Recorder>(sink_->Monitor(), kRate);
    return recorder_->Started() && recorder_->WaitForSamples(1, 10000);
  }

  TempDir dir_;
  fs::path shots_;
  std::unique_ptr<soundcheck::OwnSink> sink_;
  std::unique_ptr<soundcheck::Recorder> recorder_;
  std::unique_ptr<ChildProcess> server_, player_, second_, companion_;
  static std::vector<Rgb> wheelColours_;
};

std::vector<Rgb> GyrelotE2E::wheelColours_;

}  // namespace

TEST_F(GyrelotE2E, WithoutAnArgumentItEndsAtOnceAndShowsNothing) {
  auto game = StartGame({});
  // Watched from the start: a window that showed even briefly would be found.
  const DriverRun watch = Driver({"wait", "--caption", kCaption, "--timeout", "4000"});
  EXPECT_EQ(watch.code, 1) << "a window showed: " << watch.out;
  EXPECT_EQ(game->Wait(15000), 0);
  const std::string counters = StopServer();
  EXPECT_NE(counters.find("received 0,"), std::string::npos) << counters;
}

TEST_F(GyrelotE2E, LoginShowsTheServersFigures) {
  const auto login = StartPlayer();
  ASSERT_TRUE(login);
  const auto figures = Numbers(Log(*login), R"(coins (\d+), online (\d+))");
  ASSERT_TRUE(figures) << Log(*login);
  const auto stake = ServerLine("stake " + std::to_string(kStake) + ",", 0);
  ASSERT_TRUE(stake) << "the server's first lines do not name its stake:\n" << WholeLog();

  EXPECT_EQ((*figures)[0], kInitialCoins);
  EXPECT_EQ(Text("Lbl_UserMoney"), std::to_string((*figures)[0]));
  EXPECT_EQ(Text("LblMoney"), std::to_string(kStake));
  EXPECT_EQ(Text("L_OnlineCount"), "共有 " + std::to_string((*figures)[1]) + " 人在线");
  EXPECT_EQ(Text("ReMsg"), "登陆成功\n");
  Screenshot("login");
}

TEST_F(GyrelotE2E, ASecondStartInTheSamePrefixEndsSilently) {
  ASSERT_TRUE(StartPlayer());
  second_ = StartGame({std::string("1003|玩家三|") + kLoopback});
  EXPECT_EQ(second_->Wait(15000), 0) << "the second game did not end by itself";
  second_.reset();
  Pause(1000);
  // The first game goes on; the server heard nothing of the second.
  EXPECT_EQ(Text("ReMsg"), "登陆成功\n");
  EXPECT_FALSE(ServerLine("user 1003", 0)) << WholeLog();
  const std::string counters = StopServer();
  EXPECT_NE(counters.find("logins 1,"), std::string::npos) << counters;
  EXPECT_NE(counters.find("failed logins 0;"), std::string::npos) << counters;
  EXPECT_NE(
      counters.find("dropped: short 0, oversized 0, bad size 0, reply id 0, unknown id 0, wrong session 0"),
      std::string::npos)
      << counters;
}

TEST_F(GyrelotE2E, SpinsStopOnTheServersSectorWithTheSpinSound) {
  ASSERT_TRUE(StartRecording()) << "no samples from " << sink_->Monitor();
  ASSERT_TRUE(StartPlayer());
  size_t from = 0;
  for (int spin = 1; spin <= 2; ++spin) {
    SCOPED_TRACE("spin " + std::to_string(spin));
    // A while of the background loop alone, then the spin: started, stopped by the
    // second press, and ended with the result line.
    Pause(1500);
    const size_t quiet = recorder_->Samples() - static_cast<size_t>(kRate);
    Click("ImgStart");
    const size_t started = recorder_->Samples();
    Pause(1500);
    Click("ImgStart");
    const auto line = ServerLine("spin user 1001 ", 10000, from);
    ASSERT_TRUE(line) << "no spin reached the server:\n" << WholeLog();
    from = *line + 1;
    const auto result = Numbers(Log(*line), R"(sector (\d+), prize (\d+), balance (-?\d+))");
    ASSERT_TRUE(result) << Log(*line);
    const int sector = (*result)[0], prize = (*result)[1], balance = (*result)[2];
    ASSERT_TRUE(sector >= 1 && sector <= 8) << Log(*line);
    EXPECT_EQ(prize, kPrizes[sector - 1]) << Log(*line);

    const std::string pane = WaitForResults("玩家一", spin, kSpinEndMs);
    const size_t ended = recorder_->Samples();
    EXPECT_EQ(Occurrences(pane, "玩家一获得"), static_cast<size_t>(spin)) << pane;
    EXPECT_NE(pane.find("玩家一获得" + std::to_string(prize) + "金币-"), std::string::npos) << pane;
    EXPECT_EQ(Text("Lbl_UserMoney"), std::to_string(balance));

    std::string why;
    const fs::path shot = Screenshot("spin" + std::to_string(spin));
    EXPECT_EQ(SectorOnScreen(shot, why), sector)
        << Log(*line) << "\nread: " << why << "\nscreenshot " << shot;

    // The spin loop's clicks while the wheel turns, and neither before the spin nor
    // once it has ended (the end chime then plays instead).
    ASSERT_TRUE(recorder_->WaitForSamples(ended + kRate * 3 / 2, 10000)) << "the recording stalled";
    const soundcheck::Recording rec = recorder_->Since(0);
    const double turning = Ms(started) + 200, stopAsked = Ms(started) + 1400;
    EXPECT_GT(soundcheck::Rms(rec, turning, stopAsked), kSilence) << "silence while the wheel turned";
    EXPECT_GE(ClickShare(rec, turning, stopAsked), 0.8) << "no spin clicks while the wheel turned";
    EXPECT_LE(ClickShare(rec, Ms(quiet), Ms(quiet) + 1000), 0.2) << "spin clicks before the spin";
    EXPECT_LE(ClickShare(rec, Ms(ended) + 300, Ms(ended) + 1300), 0.2) << "spin clicks after the spin";
  }
}

TEST_F(GyrelotE2E, AnotherPlayersSpinShowsInThePane) {
  ASSERT_TRUE(StartPlayer());
  companion_ = StartCompanion(1, 0);
  EXPECT_EQ(companion_->Wait(30000), 0) << "wheel-play failed";
  const auto line = ServerLine("spin user 1002 ", 0);
  ASSERT_TRUE(line) << WholeLog();
  const auto result = Numbers(Log(*line), R"(prize (\d+))");
  ASSERT_TRUE(result) << Log(*line);
  const DriverRun pane =
      Driver({"wait-text", "--caption", kCaption, "--name", "ReMsg", "--contains",
              "玩家二获得" + std::to_string((*result)[0]) + "金币-", "--timeout", "15000"});
  EXPECT_EQ(pane.code, 0) << Log(*line) << "\npane: " << Text("ReMsg");
  Screenshot("another_player");
  // Another's spin leaves this player's coins alone.
  EXPECT_EQ(Text("Lbl_UserMoney"), std::to_string(kInitialCoins));
}

TEST_F(GyrelotE2E, ClosingTheWindowLowersTheOnlineCount) {
  ASSERT_TRUE(StartPlayer());
  // Another player stays online meanwhile (it idles after its spin), so the count goes
  // from two to one.
  companion_ = StartCompanion(1, 10000);
  const auto joined = ServerLine("spin user 1002 ", 20000);
  ASSERT_TRUE(joined) << WholeLog();
  const auto before = ServerLine("login user 1002 ", 0);
  ASSERT_TRUE(before);
  const auto online = Numbers(Log(*before), R"(online (\d+))");
  ASSERT_TRUE(online) << Log(*before);
  EXPECT_EQ((*online)[0], 2) << Log(*before);

  Click("ImgExit");
  EXPECT_EQ(player_->Wait(20000), 0) << "the game did not end after its exit was clicked";
  player_.reset();
  EXPECT_EQ(Driver({"wait", "--caption", kCaption, "--timeout", "0"}).code, 1) << "its window is still there";
  const auto logout = ServerLine("logout user 1001 ", 10000);
  ASSERT_TRUE(logout) << "the game left without logging out:\n" << WholeLog();
  const auto after = Numbers(Log(*logout), R"(online (\d+))");
  ASSERT_TRUE(after) << Log(*logout);
  EXPECT_EQ((*after)[0], (*online)[0] - 1) << Log(*logout);
  // The other player is not disturbed: its session ends by its own logout.
  EXPECT_EQ(companion_->Wait(30000), 0);
  EXPECT_TRUE(ServerLine("logout user 1002 ", 5000)) << WholeLog();
}
