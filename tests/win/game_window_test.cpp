// The game window driven through its handlers as its events would drive it: a
// stand-in UDP client through which the test plays the server (the packets go into
// Corvane's real cache, the poll tick takes them off), a clock of the test's own, an
// application folder made for each test (the game's asset pack, with start and end
// faces of known colours) and an error handler that records instead of showing boxes.
// The spin's two timers are not left to tick: the test calls their handlers, so it
// sees every angle and every wait.
#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_udp_client.h"
#include "picture.h"
#include "program_without_audio.h"
#include "temp_dir.h"
#include "test_pictures.h"
#include "uGyrelot_dm.h"
#include "ufrmGyrelot_Client.h"
#include "usFunction.h"
#include "wheel_test_pictures.h"
#include "win/base_window.h"
#include "win/gbk_text.h"
#include "win/module_path.h"
#include "wire/uGyrelot_Struc.h"

namespace {

skin::GdiplusSession gdiplus;

constexpr int32_t kServer = 2130706433;  // 127.0.0.1
constexpr uint16_t kGamePort = 18001;
constexpr int32_t kUser = 7;
constexpr int32_t kSession = 555;
const char kArgument[] = "7|张三|2130706433";

// The start button's faces in the test's pack, told apart by their colour.
constexpr uint32_t kStartFace = 0xFF00A000;
constexpr uint32_t kEndFace = 0xFFC00000;

// Where each sector stops the wheel (the angle shown when the stop rule fires).
constexpr int32_t kStopAngle[9] = {0, 315, 270, 225, 180, 135, 90, 45, 360};

template <size_t N>
std::vector<uint8_t> Bytes(const std::array<uint8_t, N>& a) {
  return std::vector<uint8_t>(a.begin(), a.end());
}

std::vector<uint8_t> LoginReply(int32_t coins, int32_t stake, uint8_t code = 0) {
  wheel::TWheelLoginReply r;
  r.UserId = kUser;
  r.SessionId = kSession;
  r.Coins = coins;
  r.Stake = stake;
  r.OnlineCount = 12;
  r.ResultCode = code;
  return Bytes(wheel::Encode(r));
}

std::vector<uint8_t> StartReply(int32_t sector, int32_t prize, int32_t balance, uint8_t code = 0) {
  wheel::TWheelStartReply r;
  r.Sector = sector;
  r.Prize = prize;
  r.Balance = balance;
  r.ResultCode = code;
  return Bytes(wheel::Encode(r));
}

std::vector<uint8_t> Result(int32_t user, const std::string& name, int32_t prize) {
  return Bytes(wheel::Encode(wheel::MakeResult(user, name, prize)));
}

// A 12-byte request as the server reads it.
std::vector<uint8_t> Request(int32_t id, int32_t user, int32_t session) {
  std::vector<uint8_t> b(12);
  std::memcpy(b.data(), &id, 4);
  std::memcpy(b.data() + 4, &user, 4);
  std::memcpy(b.data() + 8, &session, 4);
  return b;
}

// The 28-byte login request: id, user, the name's length byte and its bytes, zeros.
std::vector<uint8_t> LoginRequest(int32_t user, const std::string& name) {
  std::vector<uint8_t> b(28, 0);
  const int32_t id = 30101;
  std::memcpy(b.data(), &id, 4);
  std::memcpy(b.data() + 4, &user, 4);
  b[8] = static_cast<uint8_t>(name.size());
  std::memcpy(b.data() + 9, name.data(), name.size());
  return b;
}

int32_t IdOf(const SentDatagram& d) {
  int32_t id = 0;
  if (d.bytes.size() >= 4) std::memcpy(&id, d.bytes.data(), 4);
  return id;
}

std::string HhMm() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02u:%02u", static_cast<unsigned>(t.wHour),
                static_cast<unsigned>(t.wMinute));
  return buf;
}

// The pane's lines without their ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Whether `line` is the result line of `name` winning `amount`, at some "hh:mm".
::testing::AssertionResult IsResultLine(const std::string& line, const std::string& name, int32_t amount) {
  const std::string head = name + "获得" + std::to_string(amount) + "金币-";
  const bool ok = line.size() == head.size() + 5 && line.compare(0, head.size(), head) == 0 &&
                  isdigit(static_cast<unsigned char>(line[head.size()])) &&
                  isdigit(static_cast<unsigned char>(line[head.size() + 1])) &&
                  line[head.size() + 2] == ':' &&
                  isdigit(static_cast<unsigned char>(line[head.size() + 3])) &&
                  isdigit(static_cast<unsigned char>(line[head.size() + 4]));
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << line << "\" is not \"" << head << "hh:mm\"";
}

// --- information boxes ------------------------------------------------------------------

struct SeenBox {
  std::string caption;
  std::vector<std::string> texts;  // of its child windows
};
std::vector<SeenBox> g_boxes;
std::set<HWND> g_seenBoxes;

BOOL CALLBACK CollectText(HWND child, LPARAM texts) {
  wchar_t buf[512] = {};
  GetWindowTextW(child, buf, 512);
  if (buf[0]) reinterpret_cast<std::vector<std::string>*>(texts)->push_back(gbk::FromWide(buf));
  return TRUE;
}

BOOL CALLBACK ReadAndCloseBox(HWND window, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (std::wstring(cls) != L"#32770" || !IsWindowVisible(window) || g_seenBoxes.count(window)) return TRUE;
  g_seenBoxes.insert(window);
  SeenBox box;
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  box.caption = gbk::FromWide(caption);
  EnumChildWindows(window, &CollectText, reinterpret_cast<LPARAM>(&box.texts));
  g_boxes.push_back(box);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

void CALLBACK WatchBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), &ReadAndCloseBox, 0);
}

// Runs `body`; every box of this thread it opens is read and closed. A modal box
// serves this thread's timers, the watching one among them.
std::vector<SeenBox> ClosingBoxes(const std::function<void()>& body) {
  g_boxes.clear();
  g_seenBoxes.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &WatchBoxes);
  body();
  KillTimer(nullptr, timer);
  return g_boxes;
}

// --- the window -------------------------------------------------------------------------

class GameWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // The asset pack beside the test program, with the test's faces of the start
    // button and its small wheel pictures (whose frames the test can work out, and
    // which a spin of a few hundred frames draws quickly).
    std::filesystem::copy(gbk::ToWide(winapp::ProgramFolder() + "GameSkin"), gbk::ToWide(app + "GameSkin"),
                          std::filesystem::copy_options::recursive);
    testpic::WriteBmp(png + "start.bmp", 94, 39, testpic::Solid(kStartFace));
    testpic::WriteBmp(png + "end.bmp", 94, 39, testpic::Solid(kEndFace));
    wheelpic::WritePictures(png);
    dm = &module;
    winapp::SetErrorHandler([this](HWND, const std::exception& e) { errors.push_back(e.what()); });
  }
  void TearDown() override {
    form.reset();
    winapp::SetErrorHandler(nullptr);
    dm = nullptr;
  }

  // A new window with its set-up done, on new transport objects: by its first
  // showing as the program does, or by calling the set-up (the window stays hidden).
  void Make(std::optional<std::string> argument = std::string(kArgument), bool show = false) {
    form.reset();
    TransportLog().clear();
    udp = std::make_unique<FakeUdp>();
    cache = std::make_unique<LoggingCache>();
    NextUdp() = udp.get();
    NextCache() = cache.get();
    TGyrelotWindowOptions options;
    options.Transport = FakeTransport();
    options.AppDir = app;
    options.Now = [this] { return now; };
    form = std::make_unique<TfrmGyrelot_Client>(std::move(argument), std::move(options));
    // Windows come and go in one program here: none may end the thread's message loop.
    form->MainForm = false;
    if (show) {
      form->Show();
    } else {
      form->InitGame();
    }
  }

  // The server's packet arrives and the next poll tick takes it.
  void Serve(const std::vector<uint8_t>& packet) {
    udp->Receive(kServer, kGamePort, packet);
    form->PollMessages();
  }
  void LogIn(int32_t coins = 5000, int32_t stake = 100) {
    Make();
    Serve(LoginReply(coins, stake));
    ASSERT_TRUE(form->LoggedIn());
  }

  size_t StartsSent() const {
    size_t n = 0;
    for (const auto& d : udp->sent) n += IdOf(d) == 30111;
    return n;
  }
  std::vector<std::string> Pane() const { return Lines(form->ReMsg.Text()); }
  uint32_t Face() const { return form->ImgStart.Picture().Pixel(47, 19); }
  bool Playing(const char* sound) const { return form->Wave()->Mixer().FindBuffer(sound)->Playing(); }
  void Silence() {
    for (const char* s : {"back", "Wheel", "Over1", "Over2"}) {
      form->Wave()->Mixer().Stop(form->Wave()->Mixer().FindBuffer(s));
    }
  }

  // Ticks of the spin timer until the stop rule fires; the angle shown before each.
  std::vector<int32_t> TickUntilStopped(size_t most = 2000) {
    std::vector<int32_t> shown;
    while (form->Timer_Play.Enabled() && shown.size() < most) {
      shown.push_back(form->Spin().Angle());
      form->Timer_PlayTimer();
    }
    return shown;
  }
  // Ticks of the slow-down timer until the spin has ended: the wait before each tick
  // and the angle after it.
  struct Slowdown {
    std::vector<uint32_t> waits;
    std::vector<int32_t> angles;
  };
  Slowdown SlowToEnd() {
    Slowdown s;
    while (form->Tm_J.Enabled() && s.waits.size() < 50) {
      s.waits.push_back(form->Tm_J.Interval());
      form->Tm_JTimer();
      s.angles.push_back(form->Spin().Angle());
    }
    return s;
  }
  // A whole spin answered with `reply` (and the broadcast of the player's own result
  // before it): the press, the ticks until the stop and the slow-down.
  void PlaySpin(const std::vector<uint8_t>& reply, int32_t prize = 40) {
    form->ImgStartClick();
    Serve(reply);
    Serve(Result(kUser, "张三", prize));
    TickUntilStopped();
    SlowToEnd();
  }

  TempDir dir;
  std::string app = dir.path().string() + "\\";
  std::string png = app + "GameSkin\\Wheel\\png\\";
  std::string sound = app + "GameSkin\\Wheel\\sound\\";
  Tdm module{app};
  uint32_t now = 1000;
  std::vector<std::string> errors;
  std::unique_ptr<FakeUdp> udp;
  std::unique_ptr<LoggingCache> cache;
  std::unique_ptr<TfrmGyrelot_Client> form;
};

}  // namespace

// --- set-up, argument, end ----------------------------------------------------------------

TEST_F(GameWindow, FirstShowingSetsTheWindowUpAndSendsTheLoginOnce) {
  Make(kArgument, /*show=*/true);
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_EQ(form->Caption(), "幸运大转盘");
  EXPECT_EQ(GetApplicationTitle(), "幸运大转盘");
  ASSERT_EQ(udp->sent.size(), 1u);
  EXPECT_EQ(udp->sent[0].bytes, LoginRequest(kUser, "张三"));
  EXPECT_EQ(form->PngDir(), png);
  // The frame takes the background's size.
  EXPECT_EQ(form->OffscreenSize().cx, wheelpic::kFrameW);
  EXPECT_EQ(form->OffscreenSize().cy, wheelpic::kFrameH);
  ASSERT_NE(form->PollTimer(), nullptr);
  EXPECT_EQ(form->PollTimer()->Interval(), 1u);
  EXPECT_TRUE(form->PollTimer()->Running());
  EXPECT_EQ(form->Lbl_UserMoney.FontColor(), RGB(0, 234, 255));
  EXPECT_EQ(form->LblMoney.FontColor(), RGB(0, 234, 255));
  EXPECT_EQ(form->img_bottom.Picture().Width(), 550);
  EXPECT_EQ(form->img_Right.Picture().Height(), 540);
  EXPECT_NE(form->Wave(), nullptr);
  EXPECT_TRUE(form->skSkinCheckBox1.Checked());
  // The built-in pictures of the program.
  EXPECT_EQ(form->ImgStart.Picture().Width(), 94);
  EXPECT_EQ(form->ImgExit.Picture().Width(), 93);
  EXPECT_GT(form->ImageList1.Count(), 0);
  EXPECT_EQ(form->SpinState(), 1);
  EXPECT_FALSE(form->LoggedIn());
  // Shown again: no second set-up, no second login.
  ShowWindow(form->Handle(), SW_HIDE);
  form->Show();
  EXPECT_EQ(udp->sent.size(), 1u);
}

TEST_F(GameWindow, TheArgumentBecomesTheLoginRequest) {
  struct Case {
    const char* argument;
    int32_t user;
    std::string name;  // as the request carries it
    int32_t address;
  } cases[] = {
      {"7|abc", 7, "abc", 0},
      {"7|abc|2130706433", 7, "abc", kServer},
      {"7|abc|4294967295", 7, "abc", -1},                   // every bit of the address
      {"7|abc|4294967296", 7, "abc", 0},                    // the low 32 bits
      {"7|abc|12x", 7, "abc", 0},                           // no number
      {"7|ABCDEFGHIJKLMNOPQ|1", 7, "ABCDEFGHIJKLMNOP", 1},  // 17 bytes: the first 16
      {"7|张三丰", 7, "张三丰", 0},                         // GBK bytes as they are
      {"abc|x", 0, "x", 0},
      {"123456", 123456, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    Make(std::string(c.argument));
    ASSERT_EQ(udp->sent.size(), 1u);
    const SentDatagram& d = udp->sent[0];
    EXPECT_EQ(d.bytes, LoginRequest(c.user, c.name));
    EXPECT_EQ(d.address, c.address);
    EXPECT_EQ(d.port, kGamePort);
    EXPECT_EQ(form->Client()->UserId(), c.user);
    EXPECT_TRUE(form->Client()->Heartbeat().Running());
  }
  // Without an argument nothing is sent and no heartbeat runs.
  Make(std::nullopt);
  EXPECT_TRUE(udp->sent.empty());
  EXPECT_FALSE(form->Client()->Heartbeat().Running());
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

TEST_F(GameWindow, ClosingSendsFiveLogoutsThenReleasesTheUdpClientBeforeTheCache) {
  LogIn();
  const size_t before = udp->sent.size();
  TransportLog().clear();
  form.reset();
  ASSERT_EQ(udp->sent.size(), before + 5);
  for (size_t i = before; i < udp->sent.size(); ++i) {
    EXPECT_EQ(udp->sent[i].bytes, Request(30103, kUser, kSession)) << "logout " << i - before;
    EXPECT_EQ(udp->sent[i].address, kServer);
  }
  const std::vector<std::string> expected = {"udp SetActive(false)", "udp SetOnReceive", "udp released",
                                             "cache released"};
  EXPECT_EQ(TransportLog(), expected);
  EXPECT_EQ(udp->handler, nullptr);
}

// --- replies and the message pane ----------------------------------------------------------

TEST_F(GameWindow, LoginReplyFillsTheLabelsAndTheSessionOrSaysItFailed) {
  struct Case {
    uint8_t code;
    bool loggedIn;
    const char* coins;
    const char* stake;
    const char* online;
    const char* line;
    int32_t session;
  } cases[] = {
      {0, true, "5000", "100", "共有 12 人在线", "登陆成功", kSession},
      {1, false, "0", "0", "共有 0 人在线", "登陆失败", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    Make();
    Serve(LoginReply(5000, 100, c.code));
    EXPECT_EQ(form->LoggedIn(), c.loggedIn);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), c.coins);
    EXPECT_EQ(form->LblMoney.Caption(), c.stake);
    EXPECT_EQ(form->L_OnlineCount.Caption(), c.online);
    EXPECT_EQ(Pane(), std::vector<std::string>{c.line});
    EXPECT_EQ(form->Client()->SessionId(), c.session);
    EXPECT_EQ(Playing("back"), c.loggedIn);  // the box is checked
    // The next request carries the session.
    form->Client()->SendHeartbeat();
    EXPECT_EQ(udp->sent.back().bytes, Request(30104, kUser, c.session));
  }
}

TEST_F(GameWindow, ThreePacketsAreHandledOnThreeTicksInOrder) {
  Make();
  udp->Receive(kServer, kGamePort, LoginReply(5000, 100));
  udp->Receive(kServer, kGamePort, Result(9, "李四", 300));
  udp->Receive(kServer, kGamePort, Result(10, "王五", -50));
  ASSERT_EQ(form->Client()->Cache()->Count(), 3);

  form->PollMessages();
  EXPECT_TRUE(form->LoggedIn());
  EXPECT_EQ(Pane(), std::vector<std::string>{"登陆成功"});
  EXPECT_EQ(form->Client()->Cache()->Count(), 2);

  form->PollMessages();
  ASSERT_EQ(Pane().size(), 2u);
  EXPECT_TRUE(IsResultLine(Pane()[1], "李四", 300));
  EXPECT_EQ(form->Client()->Cache()->Count(), 1);

  form->PollMessages();
  ASSERT_EQ(Pane().size(), 3u);
  EXPECT_TRUE(IsResultLine(Pane()[2], "王五", -50));
  EXPECT_EQ(form->Client()->Cache()->Count(), 0);

  form->PollMessages();  // nothing left
  EXPECT_EQ(Pane().size(), 3u);
}

TEST_F(GameWindow, PacketsOfAWrongSizeAreDroppedAndChangeNothing) {
  LogIn(5000, 100);
  form->ImgStartClick();  // spinning: a start reply would count
  auto resized = [](std::vector<uint8_t> b, size_t n) {
    b.resize(n, 0);
    return b;
  };
  const std::vector<uint8_t> login = LoginReply(9999, 1), start = StartReply(3, 70, 4930),
                             result = Result(9, "李四", 300);
  std::vector<uint8_t> unknown = login;
  const int32_t otherId = 30199;
  std::memcpy(unknown.data(), &otherId, 4);
  const struct {
    const char* what;
    std::vector<uint8_t> packet;
  } cases[] = {
      {"login reply 27", resized(login, 27)},
      {"login reply 29", resized(login, 29)},
      {"start reply 23", resized(start, 23)},
      {"start reply 25", resized(start, 25)},
      {"result 31", resized(result, 31)},
      {"result 33", resized(result, 33)},
      {"three bytes", resized(login, 3)},
      {"another id, 28 bytes", unknown},
      {"start reply as 28 bytes", resized(start, 28)},
  };
  const std::vector<std::string> pane = Pane();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.packet);
    EXPECT_EQ(form->Client()->Cache()->Count(), 0) << "taken off all the same";
    EXPECT_EQ(Pane(), pane);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), "5000");
    EXPECT_EQ(form->LblMoney.Caption(), "100");
    EXPECT_EQ(form->Spin().Countdown(), TWheelSpin::kBeginCountdown);
    EXPECT_EQ(form->OwnResult().Prize, 0);
  }
  // The same records at their right sizes do count.
  Serve(start);
  EXPECT_EQ(form->Spin().Countdown(), TWheelSpin::kRepliedCountdown);
}

TEST_F(GameWindow, ThePlayersOwnResultIsKeptForTheEndOthersShowAtOnce) {
  struct Case {
    const char* what;
    bool loggedIn;
    int32_t user;
    bool shown;
  } cases[] = {
      {"before the login, user 0 is the player", false, 0, false},
      {"before the login, another user", false, 9, true},
      {"after the login, the player", true, kUser, false},
      {"after the login, user 0 is someone else", true, 0, true},
      {"after the login, another user", true, 9, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Make();
    if (c.loggedIn) Serve(LoginReply(5000, 100));
    const std::vector<std::string> before = Pane();
    Serve(Result(c.user, "李四", 321));
    const std::vector<std::string> after = Pane();
    if (c.shown) {
      ASSERT_EQ(after.size(), before.size() + 1);
      EXPECT_TRUE(IsResultLine(after.back(), "李四", 321));
      EXPECT_EQ(form->OwnResult().Prize, 0);
    } else {
      EXPECT_EQ(after, before);
      EXPECT_EQ(form->OwnResult().Prize, 321);
      EXPECT_EQ(wheel::ResultName(form->OwnResult()), "李四");
    }
  }
}

TEST_F(GameWindow, AResultLineHasItsPiecesInTheirColoursWeightsAndSize) {
  Make(std::nullopt);
  ASSERT_TRUE(Pane().empty());
  const std::string before = HhMm();
  form->AddResultLine("张三", 500);
  const std::string after = HhMm();
  ASSERT_EQ(Pane().size(), 1u);
  const std::string line = Pane()[0];
  ASSERT_EQ(line.size(), std::string("张三获得500金币-").size() + 5);
  EXPECT_EQ(line.substr(0, line.size() - 5), "张三获得500金币-");
  const std::string time = line.substr(line.size() - 5);
  EXPECT_TRUE(time == before || time == after) << time;
  EXPECT_TRUE(isdigit(time[0]) && isdigit(time[1]) && time[2] == ':' && isdigit(time[3]) && isdigit(time[4]));

  const COLORREF yellow = RGB(255, 255, 0), aqua = RGB(0, 255, 255), red = RGB(255, 0, 0),
                 white = RGB(255, 255, 255);
  // Characters of "张三获得500金币-hh:mm" by their index in the control.
  const struct {
    int from, to;
    COLORREF colour;
    bool bold;
  } pieces[] = {{0, 2, yellow, true},
                {2, 4, aqua, false},
                {4, 7, red, true},
                {7, 9, aqua, false},
                {9, 15, white, false}};
  auto expectPieces = [&](int start) {
    for (const auto& p : pieces) {
      for (int i = p.from; i < p.to; ++i) {
        const TRichEdit::CharFormat f = form->ReMsg.FormatAt(start + i);
        EXPECT_EQ(f.colour, p.colour) << "character " << start + i;
        EXPECT_EQ(f.bold, p.bold) << "character " << start + i;
        EXPECT_EQ(f.points, 9) << "character " << start + i;
      }
    }
  };
  expectPieces(0);

  // The next line starts after the first one's end, with the same pieces.
  GETTEXTLENGTHEX length{GTL_NUMCHARS, 1200};
  const int next = static_cast<int>(
      SendMessageW(form->ReMsg.Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
  form->AddResultLine("李四", 123);
  ASSERT_EQ(Pane().size(), 2u);
  expectPieces(next);

  // Many lines later the newest is in view.
  for (int i = 0; i < 60; ++i) form->AddResultLine("王五", i);
  HWND pane = form->ReMsg.Handle();
  EXPECT_GT(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  const LRESULT lastLine = SendMessageW(pane, EM_GETLINECOUNT, 0, 0) - 2;  // the last with text
  const LRESULT lastStart = SendMessageW(pane, EM_LINEINDEX, static_cast<WPARAM>(lastLine), 0);
  POINTL at{};
  SendMessageW(pane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), lastStart);
  RECT client{};
  GetClientRect(pane, &client);
  EXPECT_GE(at.y, 0);
  EXPECT_LT(at.y, client.bottom);
}

// --- the start button ---------------------------------------------------------------------

TEST_F(GameWindow, StartButtonCases) {
  struct Case {
    const char* what;
    bool loggedIn;
    int32_t coins, stake;
    int presses;
    size_t starts;  // WHEEL_START requests sent
    bool spinning;
    std::optional<std::string> line;  // a status line added
    std::optional<std::string> box;   // an information box shown
    bool buttonEnabled;
    bool timerOn;
    uint32_t interval;
    int32_t countdown;
  } cases[] = {
      {"coins equal to the stake start a spin", true, 100, 100, 1, 1, true, std::nullopt, std::nullopt, true,
       true, 30, TWheelSpin::kBeginCountdown},
      {"one coin short", true, 99, 100, 1, 0, false, std::string("你的金币不足！"), std::nullopt, true, false,
       30, 0},
      {"not logged in yet", false, 0, 0, 1, 0, false, std::nullopt,
       std::string("正在等侯您的验证信息，请稍侯"), true, false, 30, 0},
      {"a second press asks for the stop", true, 5000, 100, 2, 1, true, std::nullopt, std::nullopt, false,
       true, 60, TWheelSpin::kStopCountdown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Make();
    if (c.loggedIn) Serve(LoginReply(c.coins, c.stake));
    const std::vector<std::string> paneBefore = Pane();
    const uint32_t faceBefore = Face();
    const size_t sentBefore = udp->sent.size();
    const std::vector<SeenBox> boxes = ClosingBoxes([&] {
      for (int i = 0; i < c.presses; ++i) form->ImgStartClick();
    });

    EXPECT_EQ(StartsSent(), c.starts);
    EXPECT_EQ(udp->sent.size(), sentBefore + c.starts);
    if (c.starts) {
      EXPECT_EQ(udp->sent.back().bytes, Request(30111, kUser, kSession));
    }
    EXPECT_EQ(form->SpinState(), c.spinning ? 2 : 1);
    std::vector<std::string> pane = paneBefore;
    if (c.line) pane.push_back(*c.line);
    EXPECT_EQ(Pane(), pane);
    if (c.box) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].caption, "幸运大转盘");
      EXPECT_NE(std::find(boxes[0].texts.begin(), boxes[0].texts.end(), *c.box), boxes[0].texts.end())
          << ::testing::PrintToString(boxes[0].texts);
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    EXPECT_EQ(form->ImgStart.Enabled(), c.buttonEnabled);
    EXPECT_EQ(form->Timer_Play.Enabled(), c.timerOn);
    EXPECT_EQ(form->Timer_Play.Interval(), c.interval);
    EXPECT_EQ(form->Spin().Countdown(), c.countdown);
    EXPECT_EQ(Face(), c.spinning ? kEndFace : faceBefore);
    EXPECT_EQ(Playing("Wheel"), c.spinning);
  }
}

// --- the wheel's motion through the window ----------------------------------------------

TEST_F(GameWindow, EachSectorStopsTheWheelAtItsAngleAndItRestsFortyFiveDegreesOn) {
  LogIn(5000, 100);
  int32_t rest = 0;
  for (int32_t sector = 1; sector <= 8; ++sector) {
    SCOPED_TRACE("sector " + std::to_string(sector));
    const int32_t prize = sector * 10, balance = 5000 + sector;
    const std::string coins = form->Lbl_UserMoney.Caption();
    form->ImgStartClick();
    EXPECT_EQ(form->Spin().Angle(), rest) << "the angle is carried from the last spin";
    Serve(StartReply(sector, prize, balance));
    Serve(Result(kUser, "张三", prize));
    EXPECT_EQ(form->Spin().Countdown(), TWheelSpin::kRepliedCountdown);

    const std::vector<int32_t> shown = TickUntilStopped();
    ASSERT_GE(shown.size(), 150u);
    ASSERT_LT(shown.size(), 150u + 24u);
    EXPECT_EQ(shown[1], rest >= 360 ? 15 : rest + 15);
    const int32_t stop = kStopAngle[sector];
    EXPECT_EQ(shown.back(), stop);
    EXPECT_EQ(form->Spin().Angle(), stop) << "the stopping tick does not turn";
    // The first tick on the sector's angle after the countdown ran out (tick 150).
    for (size_t i = 149; i + 1 < shown.size(); ++i) EXPECT_NE(shown[i], stop) << "tick " << i + 1;
    EXPECT_FALSE(form->Timer_Play.Enabled());
    EXPECT_TRUE(form->Tm_J.Enabled());
    EXPECT_FALSE(form->ImgStart.Enabled());
    EXPECT_EQ(Face(), kEndFace);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), coins) << "not before the end";

    const std::string before = HhMm();
    const Slowdown slow = SlowToEnd();
    const std::string after = HhMm();
    EXPECT_EQ(slow.waits, (std::vector<uint32_t>{30, 1, 1, 1, 1, 21, 41, 61, 81, 101}));
    std::vector<int32_t> angles;
    for (int32_t k = 1; k <= 9; ++k) angles.push_back(stop + 5 * k);
    angles.push_back(stop + 45);  // the last tick ends the spin without turning
    EXPECT_EQ(slow.angles, angles);
    EXPECT_FALSE(form->Tm_J.Enabled());
    EXPECT_EQ(form->Tm_J.Interval(), 30u);
    EXPECT_TRUE(form->ImgStart.Enabled());
    EXPECT_EQ(Face(), kStartFace);
    EXPECT_EQ(form->SpinState(), 1);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), std::to_string(balance));
    const std::string line = "张三获得" + std::to_string(prize) + "金币-";
    EXPECT_TRUE(Pane().back() == line + before || Pane().back() == line + after) << Pane().back();
    EXPECT_FALSE(Playing("Wheel"));
    rest = stop + 45;
  }
  EXPECT_EQ(Pane().size(), 9u);  // "登陆成功" and eight results
}

TEST_F(GameWindow, TheLaterOfReplyAndStopRequestSetsTheCountdown) {
  struct Case {
    const char* what;
    bool replyFirst;
    int32_t countdown;    // after both
    size_t fewest, most;  // ticks until the stop
  } cases[] = {
      {"a reply after the stop request: 150", false, TWheelSpin::kRepliedCountdown, 150, 150 + 23},
      {"a stop request after the reply: 5", true, TWheelSpin::kStopCountdown, 5, 5 + 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogIn(5000, 100);
    form->ImgStartClick();
    if (c.replyFirst) {
      Serve(StartReply(3, 10, 4910));
      EXPECT_EQ(form->Spin().Countdown(), TWheelSpin::kRepliedCountdown);
      form->ImgStartClick();
    } else {
      form->ImgStartClick();
      EXPECT_EQ(form->Spin().Countdown(), TWheelSpin::kStopCountdown);
      Serve(StartReply(3, 10, 4910));
    }
    EXPECT_EQ(form->Spin().Countdown(), c.countdown);
    EXPECT_EQ(form->Timer_Play.Interval(), 60u);
    const std::vector<int32_t> shown = TickUntilStopped();
    EXPECT_GE(shown.size(), c.fewest);
    EXPECT_LE(shown.size(), c.most);
    EXPECT_EQ(shown.back(), kStopAngle[3]);
    SlowToEnd();
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), "4910");
    form->ImgStartClick();
    EXPECT_EQ(form->Timer_Play.Interval(), 30u) << "the next spin turns at the usual pace";
  }
}

TEST_F(GameWindow, TheWheelTurnsFifteenDegreesATickAndWrapsFrom360To15) {
  LogIn(5000, 100);
  form->ImgStartClick();
  std::vector<int32_t> angles;
  for (int i = 0; i < 50; ++i) {
    form->Timer_PlayTimer();
    angles.push_back(form->Spin().Angle());
  }
  for (size_t i = 0; i < angles.size(); ++i) {
    EXPECT_EQ(angles[i], static_cast<int32_t>(i % 24 + 1) * 15) << "tick " << i + 1;
  }
  EXPECT_TRUE(form->Timer_Play.Enabled()) << "no reply yet, no stop";
}

// --- sounds ---------------------------------------------------------------------------------

TEST_F(GameWindow, TheCheckBoxSwitchesTheBackgroundSoundAndStopsTheWheelSound) {
  LogIn(5000, 100);
  EXPECT_TRUE(Playing("back"));
  form->ImgStartClick();
  EXPECT_TRUE(Playing("Wheel"));
  HWND box = form->skSkinCheckBox1.Handle();
  auto click = [box] {
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  click();
  EXPECT_FALSE(form->skSkinCheckBox1.Checked());
  EXPECT_FALSE(Playing("back"));
  EXPECT_FALSE(Playing("Wheel"));
  click();
  EXPECT_TRUE(form->skSkinCheckBox1.Checked());
  EXPECT_TRUE(Playing("back"));
  EXPECT_FALSE(Playing("Wheel")) << "the wheel sound comes back with the next spin only";
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

TEST_F(GameWindow, TheEndSoundDependsOnTheBalanceAndTheBox) {
  struct Case {
    int32_t balance;
    bool checked;
    bool over1, over2;
  } cases[] = {
      {1000, true, false, true}, {1000, false, false, true},  {-20, false, false, true},
      {1001, true, true, false}, {1001, false, false, false},
  };
  LogIn(5000, 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.balance) + (c.checked ? " checked" : " unchecked"));
    form->skSkinCheckBox1.SetChecked(c.checked);
    Silence();
    form->ImgStartClick();
    EXPECT_EQ(Playing("Wheel"), c.checked);
    Serve(StartReply(8, 10, c.balance));
    TickUntilStopped();
    EXPECT_FALSE(Playing("Over1") || Playing("Over2")) << "not before the end";
    SlowToEnd();
    EXPECT_FALSE(Playing("Wheel"));
    EXPECT_EQ(Playing("Over1"), c.over1);
    EXPECT_EQ(Playing("Over2"), c.over2);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), std::to_string(c.balance));
    form->Lbl_UserMoney.SetCaption("5000");  // coins for the next case
  }
}

// --- trouble: sounds, refusals, silence ----------------------------------------------------

TEST_F(GameWindow, AMissingSoundIsReportedAndTheGameGoesOnWithoutSound) {
  for (const char* file : {"Wheel.wav", "back.wav", "over_1.wav"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(std::filesystem::remove(gbk::ToWide(sound + file)));
    errors.clear();
    Make();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(file), std::string::npos) << errors[0];
    EXPECT_EQ(form->Wave(), nullptr);
    ASSERT_EQ(udp->sent.size(), 1u) << "the login still goes out";
    EXPECT_EQ(udp->sent[0].bytes, LoginRequest(kUser, "张三"));

    Serve(LoginReply(5000, 100));
    EXPECT_EQ(Pane(), std::vector<std::string>{"登陆成功"});
    SendMessageW(form->skSkinCheckBox1.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(form->skSkinCheckBox1.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(form->skSkinCheckBox1.Checked());
    PlaySpin(StartReply(2, 30, 999), 30);  // 999: the end sound that always plays
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), "999");
    EXPECT_EQ(Pane().size(), 2u);
    EXPECT_EQ(StartsSent(), 1u);
    EXPECT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
    std::filesystem::copy_file(gbk::ToWide(winapp::ProgramFolder() + "GameSkin\\Wheel\\sound\\" + file),
                               gbk::ToWide(sound + file));
  }
}

TEST_F(GameWindow, AFaceOfTheStartButtonThatCannotBeLoadedLeavesTheSpinGoing) {
  const struct {
    const char* what;
    std::function<void(const std::string& path)> spoil;
  } cases[] = {
      {"missing", [](const std::string& path) { std::filesystem::remove(gbk::ToWide(path)); }},
      {"not a picture", [](const std::string& path) { testpic::WriteBytes(path, "BM not a bitmap"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil(png + "end.bmp");
    c.spoil(png + "start.bmp");
    LogIn(5000, 100);
    const uint32_t face = Face();  // the built-in one
    errors.clear();
    PlaySpin(StartReply(6, 20, 5020), 20);
    // Each face that could not be loaded was said (start: end.bmp; stop: end.bmp; end:
    // start.bmp), and the spin went on.
    ASSERT_EQ(errors.size(), 3u) << ::testing::PrintToString(errors);
    EXPECT_NE(errors[0].find("end.bmp"), std::string::npos) << errors[0];
    EXPECT_NE(errors[2].find("start.bmp"), std::string::npos) << errors[2];
    EXPECT_EQ(form->SpinState(), 1);
    EXPECT_TRUE(form->ImgStart.Enabled());
    EXPECT_EQ(Face(), face);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), "5020");
    EXPECT_TRUE(IsResultLine(Pane().back(), "张三", 20));
  }
}

TEST_F(GameWindow, ARefusedSpinStopsButLeavesCoinsAndResultsAlone) {
  LogIn(5000, 100);
  PlaySpin(StartReply(4, 60, 4960), 60);  // a spin with a result before
  ASSERT_EQ(form->Lbl_UserMoney.Caption(), "4960");
  const std::vector<std::string> before = Pane();
  Silence();

  form->ImgStartClick();
  Serve(StartReply(0, 0, 0, /*code=*/1));
  std::vector<std::string> pane = before;
  pane.push_back("失败，可能您的余额不足！");
  EXPECT_EQ(Pane(), pane);
  EXPECT_TRUE(form->Spin().StopFlag());
  // Refused, yet the countdown has not run out: the wheel turns on, also past the ten
  // seconds that matter only to a spin without any reply.
  now += 20000;
  EXPECT_EQ(TickUntilStopped(50).size(), 50u);
  EXPECT_TRUE(form->Timer_Play.Enabled());
  // The player presses again: five ticks later it stops, wherever it is.
  form->ImgStartClick();
  EXPECT_EQ(TickUntilStopped().size(), 5u);
  SlowToEnd();
  EXPECT_EQ(form->SpinState(), 1);
  EXPECT_TRUE(form->ImgStart.Enabled());
  EXPECT_EQ(Face(), kStartFace);
  EXPECT_EQ(form->Lbl_UserMoney.Caption(), "4960");
  EXPECT_EQ(Pane(), pane);
  EXPECT_FALSE(Playing("Wheel"));
  EXPECT_FALSE(Playing("Over1"));
  EXPECT_FALSE(Playing("Over2"));
}

TEST_F(GameWindow, ASpinWithoutAnyReplyStopsAfterTenSecondsAndSaysSo) {
  LogIn(5000, 100);
  Silence();
  form->ImgStartClick();
  const uint32_t started = now;
  now = started + TWheelSpin::kNoReplyMs - 1;
  form->Timer_PlayTimer();
  EXPECT_TRUE(form->Timer_Play.Enabled());
  now = started + TWheelSpin::kNoReplyMs;
  const int32_t angle = form->Spin().Angle();
  EXPECT_EQ(TickUntilStopped().size(), 1u) << "the next tick stops it";
  EXPECT_EQ(form->Spin().Angle(), angle);
  const Slowdown slow = SlowToEnd();
  EXPECT_EQ(slow.waits, (std::vector<uint32_t>{30, 1, 1, 1, 1, 21, 41, 61, 81, 101}))
      << "the usual slow-down";
  EXPECT_EQ(Pane(), (std::vector<std::string>{"登陆成功", "服务器没有应答，本局结果未知"}));
  EXPECT_EQ(form->Lbl_UserMoney.Caption(), "5000");
  EXPECT_TRUE(form->ImgStart.Enabled());
  EXPECT_EQ(form->SpinState(), 1);
  EXPECT_FALSE(Playing("Wheel"));
  EXPECT_FALSE(Playing("Over1") || Playing("Over2"));
}

TEST_F(GameWindow, AReplyAfterItsSpinHasEndedChangesNothing) {
  struct Case {
    const char* what;
    std::function<void()> spin;  // leaves the reply to come
    size_t added;                // lines the spin's own end still adds
    std::string lastLine;        // the pane's last line then (its start)
  } cases[] = {
      {"after a spin that heard nothing",
       [this] {
         form->ImgStartClick();
         now += TWheelSpin::kNoReplyMs;
         TickUntilStopped();
         SlowToEnd();
       },
       0, "服务器没有应答，本局结果未知"},
      {"while a spin that heard nothing slows down",
       [this] {
         form->ImgStartClick();
         now += TWheelSpin::kNoReplyMs;
         TickUntilStopped();
       },
       1, "服务器没有应答，本局结果未知"},
      {"a second copy after a spin with its result", [this] { PlaySpin(StartReply(5, 90, 5090), 90); }, 0,
       "张三获得90金币-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogIn(5000, 100);
    c.spin();
    const std::vector<std::string> pane = Pane();
    const std::string coins = form->Lbl_UserMoney.Caption();
    const int32_t angle = form->Spin().Angle();
    const int32_t state = form->SpinState();
    Serve(StartReply(1, 777, 7777));
    Serve(StartReply(0, 0, 0, /*code=*/1));  // nor does a refusal
    Serve(Result(kUser, "李四", 777));
    EXPECT_EQ(Pane(), pane);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), coins);
    EXPECT_EQ(form->Spin().Angle(), angle);
    EXPECT_EQ(form->SpinState(), state);
    EXPECT_FALSE(form->Timer_Play.Enabled());
    SlowToEnd();
    EXPECT_EQ(form->SpinState(), 1);
    EXPECT_EQ(form->Lbl_UserMoney.Caption(), coins);
    ASSERT_EQ(Pane().size(), pane.size() + c.added);
    EXPECT_EQ(Pane().back().rfind(c.lastLine, 0), 0u) << Pane().back();
  }
}

// --- the wheel area ------------------------------------------------------------------------

TEST_F(GameWindow, TheWheelAreaShowsTheFrameOfTheAngleShown) {
  LogIn(5000, 100);
  ASSERT_EQ(form->OffscreenSize().cx, wheelpic::kFrameW);
  ASSERT_EQ(form->OffscreenSize().cy, wheelpic::kFrameH);
  auto expectFrame = [&](int angle) {
    const wheelpic::FrameCheck c = wheelpic::CheckFrame(form->OffscreenDC(), angle);
    EXPECT_EQ(c.wrong, 0) << "angle " << angle << ": " << ::testing::PrintToString(c.mismatches);
    EXPECT_EQ(c.wheelColours.size(), 9u) << "angle " << angle;
  };
  expectFrame(0);  // the set-up's wheel at rest
  form->DrawWheel(135);
  expectFrame(135);
  // What the paint box shows: the frame, and white beyond it.
  testpic::Canvas shown(550, 490);
  form->PaintBox1Paint(shown.dc());
  const wheelpic::FrameCheck painted = wheelpic::CheckFrame(shown.dc(), 135);
  EXPECT_EQ(painted.wrong, 0) << ::testing::PrintToString(painted.mismatches);
  EXPECT_EQ(shown.At(300, 300), RGB(255, 255, 255));
  // A spin draws each angle it shows; its press puts the wheel back to 0 first.
  form->ImgStartClick();
  expectFrame(0);
  for (int i = 0; i < 3; ++i) form->Timer_PlayTimer();
  ASSERT_EQ(form->Spin().Angle(), 45);
  expectFrame(45);
}

TEST_F(GameWindow, WithoutTheWheelPictureTheAreaShowsBackgroundAndPointer) {
  ASSERT_TRUE(std::filesystem::remove(gbk::ToWide(png + "2.png")));
  Make();
  for (const int angle : {0, 90}) {
    form->DrawWheel(angle);
    const wheelpic::FrameCheck c = wheelpic::CheckFrame(form->OffscreenDC(), angle, /*withWheel=*/false);
    EXPECT_EQ(c.wrong, 0) << "angle " << angle << ": " << ::testing::PrintToString(c.mismatches);
    EXPECT_GT(c.underOverlay, 300);
  }
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

// --- a machine without sound -------------------------------------------------------------

namespace {

// Run as the helper, where Wine has no playing device: the window's set-up, a login
// reply, a click on the sound box and a press of the start button, written down.
// `app` is the application folder (passed without its last backslash, which would
// escape the quote).
int RunWithoutSound(const std::string& app, const std::string& outPath) {
  std::ofstream out(outPath.c_str(), std::ios::binary);
  Tdm module(app);
  dm = &module;
  std::vector<std::string> errors;
  winapp::SetErrorHandler([&errors](HWND, const std::exception& e) { errors.push_back(e.what()); });
  FakeUdp udp;
  LoggingCache cache;
  NextUdp() = &udp;
  NextCache() = &cache;
  TGyrelotWindowOptions options;
  options.Transport = FakeTransport();
  options.AppDir = app;
  {
    TfrmGyrelot_Client form(std::string(kArgument), options);
    form.MainForm = false;
    form.InitGame();
    for (const auto& e : errors) out << "error: " << e << "\n";
    out << "sound player: " << (form.Wave() ? "made" : "none") << "\n";
    out << "sent " << udp.sent.size() << ", first " << (udp.sent.empty() ? 0 : IdOf(udp.sent[0])) << "\n";
    udp.Receive(kServer, kGamePort, LoginReply(5000, 100));
    form.PollMessages();
    SendMessageW(form.skSkinCheckBox1.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(form.skSkinCheckBox1.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    form.ImgStartClick();
    out << "logged in " << form.LoggedIn() << ", box checked " << form.skSkinCheckBox1.Checked()
        << ", spinning " << (form.SpinState() == 2) << "\n";
  }
  out << "errors " << errors.size() << "\n";
  winapp::SetErrorHandler(nullptr);
  dm = nullptr;
  return out.good() ? 0 : 1;
}

}  // namespace

TEST_F(GameWindow, WithoutAPlayingDeviceTheBoxSaysSoAndTheGameGoesOn) {
  // The copy of this program needs the packet library beside it.
  const std::string bin = winapp::ProgramFolder();
  ASSERT_TRUE(
      CopyFileW(gbk::ToWide(bin + "Corvane.dll").c_str(), gbk::ToWide(app + "Corvane.dll").c_str(), TRUE));
  ProgramWithoutAudio program(app, L"game_window_nosound");
  ASSERT_TRUE(program.Ready());
  const std::string outPath = app + "without-sound.txt";
  EXPECT_EQ(program.Run(L"--without-sound \"" + gbk::ToWide(dir.path().string()) + L"\" \"" +
                        gbk::ToWide(outPath) + L"\""),
            0);
  EXPECT_EQ(ReadFileBytes(outPath), std::string("error: No DirectSound playing devices found\n") +
                                        "sound player: none\n" + "sent 1, first 30101\n" +
                                        "logged in 1, box checked 0, spinning 1\n" + "errors 1\n");
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--without-sound") == 0) {
    return argc == 4 ? RunWithoutSound(std::string(argv[2]) + "\\", argv[3]) : 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
