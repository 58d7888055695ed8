#include "ufrmGyrelot_Client.h"

#include <richedit.h>

#include "builtin_pictures.h"
#include "usFunction.h"

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kAqua = RGB(0, 255, 255);
constexpr COLORREF kPaneColour = RGB(0, 64, 0);
constexpr skin::Rgb kMagenta = 0xFF00FF;

// A built-in picture of the program; none when the program carries no such resource.
skin::Picture BuiltIn(int id, std::optional<skin::Rgb> transparent = std::nullopt) {
  try {
    return skin::Picture::FromResource(GetModuleHandleW(nullptr), id, transparent);
  } catch (const skin::SkinError&) {
    return skin::Picture();
  }
}

}  // namespace

TfrmGyrelot_Client::TfrmGyrelot_Client(std::optional<std::string> argument, TGyrelotWindowOptions options)
    : TForm(L"TfrmGyrelot_Client", 750, 546),
      PaintBox1(this, "PaintBox1", Handle(), TBounds{0, 0, 550, 490}),
      img_bottom(this, "img_bottom", Handle(), TBounds{0, 490, 550, 50}),
      img_Right(this, "img_Right", Handle(), TBounds{550, 0, 200, 540}),
      L_OnlineCount(this, "L_OnlineCount", Handle(), TBounds{560, 73, 129, 19}, "共有 0 人在线"),
      skSkinCheckBox1(this, "skSkinCheckBox1", Handle(), TBounds{692, 69, 44, 25}),
      ReMsg(this, "ReMsg", Handle(), TBounds{559, 96, 182, 393},
            ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP),
      Lbl_UserMoney(this, "Lbl_UserMoney", Handle(), TBounds{144, 508, 101, 13}, "0"),
      LblMoney(this, "LblMoney", Handle(), TBounds{372, 508, 101, 13}, "0"),
      ImgStart(this, "ImgStart", Handle(), TBounds{556, 494, 94, 39}),
      ImgExit(this, "ImgExit", Handle(), TBounds{650, 494, 93, 39}),
      WaveMixer1(std::make_unique<TWaveMixer>(Handle())),
      MemoryWave1(std::make_unique<TMemoryWave>()),
      FOptions(std::move(options)),
      FArgument(std::move(argument)) {
  MainForm = true;
  ImageList1.SetStrip(BuiltIn(IDB_IMAGELIST1, kMagenta));

  PaintBox1.OnPaint = [this](HDC dc) { PaintBox1Paint(dc); };
  img_bottom.SetAutoSize(true);
  img_Right.SetAutoSize(true);

  L_OnlineCount.SetOwnFont(L"Tahoma", 12, false, GB2312_CHARSET);
  L_OnlineCount.SetFontColor(kAqua);

  skSkinCheckBox1.SetImages(&ImageList1, 0);
  skSkinCheckBox1.SetChecked(true);
  skSkinCheckBox1.OnClick = [this] { skSkinCheckBox1Click(); };

  ReMsg.SetBackgroundColor(kPaneColour);
  ReMsg.SetDefaultFormat(L"Tahoma", 12, GetSysColor(COLOR_HIGHLIGHTTEXT), GB2312_CHARSET);

  for (TLabel* label : {&Lbl_UserMoney, &LblMoney}) {
    label->SetOwnFont(L"Tahoma", 13, true);
    label->SetFontColor(kBlue);
  }

  ImgStart.SetPicture(BuiltIn(IDB_IMGSTART));
  ImgStart.SetHandCursor(true);
  ImgStart.SetTransparent(true);
  ImgStart.OnClick = [this] { ImgStartClick(); };
  ImgExit.SetPicture(BuiltIn(IDB_IMGEXIT));
  ImgExit.SetHandCursor(true);
  ImgExit.OnClick = [this] { ImgExitClick(); };

  Timer_Play.OnTimer = [this] { Timer_PlayTimer(); };
  Tm_J.OnTimer = [this] { Tm_JTimer(); };
}

TfrmGyrelot_Client::~TfrmGyrelot_Client() {
  FormDestroy();
}

void TfrmGyrelot_Client::FormDestroy() {
  Timer_Play.SetEnabled(false);
  Tm_J.SetEnabled(false);
  FWave.reset();
  FPollTimer.reset();
  FClient.reset();  // five logouts
  FComposer.reset();
  FOffscreen = winapp::DibCanvas();
  FBackground.reset();
  FWheel.reset();
  FOverlay.reset();
}

std::string TfrmGyrelot_Client::AppDir() const {
  return FOptions.AppDir.empty() ? sFunction.GetAppPath() : FOptions.AppDir;
}

void TfrmGyrelot_Client::ImgExitClick() {
  Close();
}

LRESULT TfrmGyrelot_Client::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SHOWWINDOW && wp && !FShown) {
    FShown = true;
    const LRESULT r = TForm::HandleMessage(msg, wp, lp);
    FormShow();
    return r;
  }
  return TForm::HandleMessage(msg, wp, lp);
}
