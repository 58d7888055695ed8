// The game's logic on the window thread: received messages taken off the packet cache
// one per poll tick, the replies acted on, the message pane written, the start button
// and the sound check box.
#include <charconv>
#include <ctime>

#include "uGameMessages.h"
#include "ufrmGyrelot_Client.h"
#include "usFunction.h"

namespace {

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kAqua = RGB(0, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kResultPoints = 9;

// A label's caption read back as a number (the coins and the stake live there).
int32_t CaptionNumber(const TLabel& label) {
  const std::string text = label.Caption();
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string LocalTimeHhMm() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02u:%02u", static_cast<unsigned>(t.wHour),
                static_cast<unsigned>(t.wMinute));
  return buf;
}

}  // namespace

void TfrmGyrelot_Client::PollMessages() {
  if (!FClient) return;
  TGameMessageHandlers handlers;
  handlers.LoginReply = [this](const wheel::TWheelLoginReply& r) { OnLoginReply(r); };
  handlers.StartReply = [this](const wheel::TWheelStartReply& r) { OnStartReply(r); };
  handlers.Result = [this](const wheel::TWheelResult& r) { OnResult(r); };
  PollGameMessage(FClient->Cache(), handlers);
}

void TfrmGyrelot_Client::DispatchGameMessage(const uint8_t* data, size_t len) {
  TGameMessageHandlers handlers;
  handlers.LoginReply = [this](const wheel::TWheelLoginReply& r) { OnLoginReply(r); };
  handlers.StartReply = [this](const wheel::TWheelStartReply& r) { OnStartReply(r); };
  handlers.Result = [this](const wheel::TWheelResult& r) { OnResult(r); };
  ::DispatchGameMessage(data, len, handlers);
}

void TfrmGyrelot_Client::OnLoginReply(const wheel::TWheelLoginReply& r) {
  if (r.ResultCode != 0) {
    AddStatusLine("登陆失败");
    return;
  }
  FLoggedIn = true;
  LblMoney.SetCaption(std::to_string(r.Stake));
  FClient->SetSessionId(r.SessionId);
  Lbl_UserMoney.SetCaption(std::to_string(r.Coins));
  L_OnlineCount.SetCaption("共有 " + std::to_string(r.OnlineCount) + " 人在线");
  FLoginReply = r;
  AddStatusLine("登陆成功");
  if (skSkinCheckBox1.Checked() && FWave) FWave->PlayBackSound(true);
}

void TfrmGyrelot_Client::OnStartReply(const wheel::TWheelStartReply& r) {
  // A reply counts for the spin under way only; one that comes after its spin has
  // ended (or was given up) changes nothing on screen.
  const bool forThisSpin = FSpin.GetState() == TWheelSpin::State::kSpinning && !FSpin.GaveUp();
  if (!forThisSpin) return;
  if (r.ResultCode != 0) {
    AddStatusLine("失败，可能您的余额不足！");
    FSpin.Refused();
    return;
  }
  FStartReply = r;
  FSpin.Replied(r.Sector);
}

void TfrmGyrelot_Client::OnResult(const wheel::TWheelResult& r) {
  if (r.UserId == FLoginReply.UserId) {
    // The player's own spin: written when the wheel stops.
    FOwnResult = r;
    return;
  }
  AddResultLine(wheel::ResultName(r), r.Prize);
}

void TfrmGyrelot_Client::AddResultLine(const std::string& name, int32_t amount) {
  ReMsg.MoveCaretToEnd();
  ReMsg.SetSelectionSize(kResultPoints);
  const struct {
    std::string text;
    COLORREF colour;
    bool bold;
  } pieces[] = {
      {name, kYellow, true},
      {"获得", kAqua, false},
      {std::to_string(amount), kRed, true},
      {"金币", kAqua, false},
      {"-" + LocalTimeHhMm() + "\r\n", kWhite, false},
  };
  for (const auto& p : pieces) {
    ReMsg.SetSelectionColour(p.colour, p.bold);
    ReMsg.InsertText(p.text);
  }
  ReMsg.ScrollToBottom();
}

void TfrmGyrelot_Client::AddStatusLine(const std::string& line) {
  ReMsg.MoveCaretToEnd();
  ReMsg.InsertText(line + "\r\n");
  ReMsg.ScrollToBottom();
}

void TfrmGyrelot_Client::ImgStartClick() {
  // 1. Enough coins for the stake (equal is enough).
  if (CaptionNumber(Lbl_UserMoney) < CaptionNumber(LblMoney)) {
    Timer_Play.SetEnabled(false);
    AddStatusLine("你的金币不足！");
    return;
  }
  // 2. Logged in.
  if (!FLoggedIn) {
    sFunction.ShowMsg("正在等侯您的验证信息，请稍侯");
    return;
  }
  if (FSpin.GetState() == TWheelSpin::State::kReady) {
    // 3. A new spin.
    ResetWheel();
    LoadStartFace("end.bmp");
    FClient->RequestStart();
    FSpin.Begin(FOptions.Now());
    Timer_Play.SetInterval(FSpin.SpinInterval());
    Timer_Play.SetEnabled(true);
    if (skSkinCheckBox1.Checked() && FWave) FWave->PlayWheelSound(true);
    return;
  }
  // 4. The player asks for the stop: no more presses until the spin has ended.
  ImgStart.SetEnabled(false);
  FSpin.AskStop();
  Timer_Play.SetInterval(FSpin.SpinInterval());
}

void TfrmGyrelot_Client::skSkinCheckBox1Click() {
  if (!FWave) return;  // no sound on this machine
  FWave->PlayWheelSound(false);
  FWave->PlayBackSound(skSkinCheckBox1.Checked());
}
