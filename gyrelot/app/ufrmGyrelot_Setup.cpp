// The game window's set-up when it is first shown, and the reading of the program's
// argument "<player id>|<player name>|<server address>".
#include <charconv>

#include "uGyrelot_dm.h"
#include "ufrmGyrelot_Client.h"
#include "usFunction.h"
#include "win/base_window.h"
#include "win/file_attributes.h"
#include "win/gbk_text.h"

namespace {

constexpr uint16_t kGamePort = 18001;

// A decimal number; text that is not one (whole) gives 0.
template <class T>
T NumberOr0(const std::string& text) {
  T value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

void TfrmGyrelot_Client::FormShow() {
  InitGame();
}

void TfrmGyrelot_Client::InitGame() {
  // 1. The caption, which the information boxes take as theirs too.
  SetCaption("幸运大转盘");
  SetApplicationTitle("幸运大转盘");
  // 2. The skin.
  const std::string appDir = AppDir();
  if (dm) dm->LoadSkin(*this, &skSkinForm1, skSkinData1, appDir + "GameSkin\\Wheel\\FormSkin\\");
  // 3. The net functions of the packet library.
  if (FAILED(FOptions.Transport.GetNetFunc(FNetFunc.Out()))) {
    throw std::runtime_error("Corvane.dll gives no net functions");
  }
  // 4. Double-buffered painting: every control of ours paints through an off-screen
  //    bitmap already; the wheel area through FOffscreen.
  // 5. The wheel's pictures; a missing one stays empty and is not drawn.
  FPngDir = appDir + "GameSkin\\Wheel\\png\\";
  FBackground = std::make_unique<TGPImage>(gbk::ToWide(FPngDir + "1.png"));
  FWheel = std::make_unique<TGPImage>(gbk::ToWide(FPngDir + "2.png"));
  FOverlay = std::make_unique<TGPImage>(gbk::ToWide(FPngDir + "3.png"));
  // 6. The off-screen frame, the size of the background.
  const int width = static_cast<int>(FBackground->GetWidth()),
            height = static_cast<int>(FBackground->GetHeight());
  FOffscreen = winapp::DibCanvas(width, height);
  if (width > 0 && height > 0) {
    FComposer = std::make_unique<TWheelComposer>(
        TWheelPictures{FBackground.get(), FWheel.get(), FOverlay.get()}, width, height);
  }
  // 7. The session: not logged in yet, nothing sent.
  FClient = std::make_unique<TGyrelotClient>(FOptions.Transport);
  // 8. The poll timer, from now on.
  FPollTimer = std::make_unique<TsTimer>();
  FPollTimer->SetInterval(1);
  FPollTimer->SetOnTimer(
      {[](void* self, TsTimer*) { static_cast<TfrmGyrelot_Client*>(self)->PollMessages(); }, this});
  // 9. The wheel at rest.
  ResetWheel();
  // 10. The coin labels' colour.
  Lbl_UserMoney.SetFontColor(RGB(0, 234, 255));
  LblMoney.SetFontColor(Lbl_UserMoney.FontColor());
  // 11. The strip's and the panel's pictures, if the pack has them.
  if (winapp::FileExists(FPngDir + "img_bottom.jpg")) img_bottom.LoadFromFile(FPngDir + "img_bottom.jpg");
  if (winapp::FileExists(FPngDir + "img_Right.jpg")) img_Right.LoadFromFile(FPngDir + "img_Right.jpg");
  // 12. The sound player. A machine without sound, or a sound file missing, is said
  //     in a box and the game goes on without sound: the login must still be sent.
  try {
    FWave = std::make_unique<TWheel_Wave>(Handle(), std::move(WaveMixer1), std::move(MemoryWave1), appDir);
  } catch (const std::exception& e) {
    winapp::ReportError(Handle(), e);
  }
  // 13. The login.
  ParseCommandLine();
}

void TfrmGyrelot_Client::ParseCommandLine() {
  if (!FArgument) return;
  const std::string& argument = *FArgument;
  const int32_t userId = NumberOr0<int32_t>(sFunction.SplitField(argument, "|", 0));
  const std::string userName = sFunction.SplitField(argument, "|", 1);
  // The low 32 bits of a 64-bit number are the address.
  const int64_t address = NumberOr0<int64_t>(sFunction.SplitField(argument, "|", 2));
  FClient->Login(userId, userName,
                 static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(address))), kGamePort);
}
