// The game window "幸运大转盘": the hub of the game. It owns the wheel's pictures and
// off-screen frame, the session client, the poll timer and the sound player; its
// handlers are the game flow (ufrmGyrelot_Flow.cpp), the wheel's drawing and spin
// (ufrmGyrelot_Wheel.cpp) and its set-up (ufrmGyrelot_Setup.cpp). Everything runs on
// the window thread; received packets reach it only through the packet cache.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls.h"
#include "skin_controls.h"
#include "uCorvane_Intf.h"
#include "uGdiplusWrappers.h"
#include "uGyrelotClient.h"
#include "uMemoryWave.h"
#include "uWaveMixer.h"
#include "uWheelFrame.h"
#include "uWheelSpin.h"
#include "uWheel_Wave.h"
#include "usTimer.h"
#include "uskSkinData.h"
#include "uskSkinForm.h"
#include "win/com_ptr.h"
#include "win/gdi_owner.h"
#include "win/window_timer.h"
#include "wire/uGyrelot_Struc.h"

// What a test replaces; the program uses the defaults.
struct TGyrelotWindowOptions {
  TTransportFactories Transport;
  // The application folder (GBK, with its trailing backslash); empty: the program's.
  std::string AppDir;
  // The tick count in milliseconds (the spin's ten seconds without a reply).
  std::function<uint32_t()> Now = [] { return static_cast<uint32_t>(GetTickCount()); };
};

class TfrmGyrelot_Client : public TForm {
 public:
  // `argument` is the program's first command-line argument (GBK), none without one.
  explicit TfrmGyrelot_Client(std::optional<std::string> argument, TGyrelotWindowOptions options = {});
  // FormDestroy: the sound player, the poll timer, the session (five logouts), the
  // off-screen bitmap and the three pictures, in this order.
  ~TfrmGyrelot_Client() override;

  // --- the window's components, in creation order ---
  TskSkinForm skSkinForm1{this, "skSkinForm1"};
  TskSkinData skSkinData1{this, "skSkinData1"};
  TImageList ImageList1{this, "ImageList1", 20, 20};
  TPaintBox PaintBox1;
  TImage img_bottom;
  TImage img_Right;
  TLabel L_OnlineCount;
  TskSkinCheckBox skSkinCheckBox1;
  TRichEdit ReMsg;
  TLabel Lbl_UserMoney;
  TLabel LblMoney;
  TImage ImgStart;
  TImage ImgExit;
  winapp::WindowTimer Timer_Play{TWheelSpin::kSpinInterval};
  winapp::WindowTimer Tm_J{TWheelSpin::kSlowFirstInterval};
  std::unique_ptr<TWaveMixer> WaveMixer1;
  std::unique_ptr<TMemoryWave> MemoryWave1;

  // --- handlers (public: tests drive them as the window's events would) ---
  void FormShow();
  void InitGame();
  void ParseCommandLine();
  void PollMessages();
  void DispatchGameMessage(const uint8_t* data, size_t len);
  void OnLoginReply(const wheel::TWheelLoginReply& reply);
  void OnStartReply(const wheel::TWheelStartReply& reply);
  void OnResult(const wheel::TWheelResult& result);
  void AddResultLine(const std::string& name, int32_t amount);
  void ImgStartClick();
  void ImgExitClick();
  void skSkinCheckBox1Click();
  void ResetWheel();
  void DrawWheel(int32_t angle);
  void PaintBox1Paint(HDC dc);
  void Timer_PlayTimer();
  void Tm_JTimer();

  // --- state, read by tests ---
  bool LoggedIn() const { return FLoggedIn; }
  int32_t SpinState() const { return FSpin.GetState() == TWheelSpin::State::kReady ? 1 : 2; }
  TWheelSpin& Spin() { return FSpin; }
  TGyrelotClient* Client() const { return FClient.get(); }
  TWheel_Wave* Wave() const { return FWave.get(); }
  TsTimer* PollTimer() const { return FPollTimer.get(); }
  const wheel::TWheelLoginReply& LoginReply() const { return FLoginReply; }
  const wheel::TWheelStartReply& StartReply() const { return FStartReply; }
  const wheel::TWheelResult& OwnResult() const { return FOwnResult; }
  const std::string& PngDir() const { return FPngDir; }
  HDC OffscreenDC() const { return FOffscreen.dc(); }
  SIZE OffscreenSize() const { return SIZE{FOffscreen.Width(), FOffscreen.Height()}; }
  // A status line ("登陆成功", ...), appended whole at the end of the pane.
  void AddStatusLine(const std::string& line);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormDestroy();
  void EndSpin();
  std::string AppDir() const;
  void LoadStartFace(const char* file);

  TGyrelotWindowOptions FOptions;
  std::optional<std::string> FArgument;
  bool FShown = false;

  // The window's fields, in the order the game keeps them.
  std::unique_ptr<TGPImage> FBackground;
  std::unique_ptr<TGPImage> FWheel;
  std::unique_ptr<TGPImage> FOverlay;
  TWheelSpin FSpin;  // FAngle, the countdown, FStopFlag, FSpinState, FSlowSteps
  winapp::DibCanvas FOffscreen;
  std::unique_ptr<TWheelComposer> FComposer;
  wheel::TWheelStartReply FStartReply{};
  wheel::TWheelLoginReply FLoginReply{};
  wheel::TWheelResult FOwnResult{};
  ComPtr<IsNetFunc> FNetFunc;
  std::unique_ptr<TGyrelotClient> FClient;
  std::unique_ptr<TsTimer> FPollTimer;
  std::string FPngDir;
  std::unique_ptr<TWheel_Wave> FWave;
  bool FLoggedIn = false;
};
