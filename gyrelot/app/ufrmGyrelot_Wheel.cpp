// The wheel area: frames composed into FOffscreen and shown in PaintBox1, and the two
// timers that turn the wheel during a spin and slow it down at its end. The motion
// itself (angle, countdown, stop rule) is TWheelSpin's.
#include "ufrmGyrelot_Client.h"
#include "win/base_window.h"

void TfrmGyrelot_Client::ResetWheel() {
  if (FComposer) FComposer->Compose(FOffscreen.dc(), 0);
  FSpin.Reset();
}

void TfrmGyrelot_Client::DrawWheel(int32_t angle) {
  if (FComposer) FComposer->Compose(FOffscreen.dc(), angle);
  HDC dc = GetDC(PaintBox1.Handle());
  PaintBox1Paint(dc);
  ReleaseDC(PaintBox1.Handle(), dc);
}

void TfrmGyrelot_Client::PaintBox1Paint(HDC dc) {
  RECT r{};
  GetClientRect(PaintBox1.Handle(), &r);
  // Outside the frame (no background picture) the form's white shows.
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (FOffscreen && FOffscreen.Width() > 0) {
    BitBlt(dc, 0, 0, FOffscreen.Width(), FOffscreen.Height(), FOffscreen.dc(), 0, 0, SRCCOPY);
  }
}

void TfrmGyrelot_Client::LoadStartFace(const char* file) {
  // The face changes in the middle of the start, the stop and the end of a spin. A
  // face that cannot be read is said in the error box, but must not cut those short
  // (the spin would never start, or never end, with both timers off and the button
  // disabled): the button keeps the face it has and the handler goes on.
  try {
    ImgStart.LoadFromFile(FPngDir + file);
  } catch (const skin::SkinError& e) {
    winapp::ReportError(Handle(), e);
  }
}

void TfrmGyrelot_Client::Timer_PlayTimer() {
  if (FSpin.SpinTick(FOptions.Now()) == TWheelSpin::SpinTickResult::kTurned) {
    DrawWheel(FSpin.Angle());
    return;
  }
  // The stop rule fired: the slow-down takes over.
  Timer_Play.SetEnabled(false);
  LoadStartFace("end.bmp");
  ImgStart.SetEnabled(false);
  Tm_J.SetInterval(FSpin.SlowInterval());
  Tm_J.SetEnabled(true);
}

void TfrmGyrelot_Client::Tm_JTimer() {
  if (FSpin.SlowTick() == TWheelSpin::SlowTickResult::kTurned) {
    DrawWheel(FSpin.Angle());
    Tm_J.SetInterval(FSpin.SlowInterval());
    return;
  }
  EndSpin();
}

void TfrmGyrelot_Client::EndSpin() {
  Tm_J.SetEnabled(false);
  Tm_J.SetInterval(TWheelSpin::kSlowFirstInterval);
  LoadStartFace("start.bmp");
  ImgStart.SetEnabled(true);
  // The spin is ready again (TWheelSpin says so from its last slow tick).
  switch (FSpin.GetOutcome()) {
    case TWheelSpin::Outcome::kResult:
      Lbl_UserMoney.SetCaption(std::to_string(FStartReply.Balance));
      AddResultLine(wheel::ResultName(FOwnResult), FStartReply.Prize);
      if (FWave) {
        FWave->PlayWheelSound(false);
        // A player down to 1000 coins or less always hears the end, sound on or off.
        if (FStartReply.Balance <= 1000) {
          FWave->PlayOverSound(false);
        } else if (skSkinCheckBox1.Checked()) {
          FWave->PlayOverSound(true);
        }
      }
      break;
    case TWheelSpin::Outcome::kRefused:
      // Nothing of a result: the coins and the pane stay as they are.
      if (FWave) FWave->PlayWheelSound(false);
      break;
    case TWheelSpin::Outcome::kNoReply:
      AddStatusLine("服务器没有应答，本局结果未知");
      if (FWave) FWave->PlayWheelSound(false);
      break;
  }
}
