// The skinned frame of a top-level window: caption bar with the window's caption, a
// system-menu button and a minimise button, and the border, drawn from a skin (or in
// the toolkit's plain look without one) in the window's non-client area. The client
// area keeps its size whatever the frame; dragging the caption moves the window; the
// system menu carries the caption table's texts, and both buttons and the menu go
// through the system's own commands (WM_SYSCOMMAND), so keyboard and taskbar behave.
#pragma once

#include <windows.h>

#include "win/gdi_owner.h"

class TskSkinData;

namespace skin {

enum class CaptionButton { kNone, kSystemMenu, kMinimize };

// Where everything of the frame lies, in window coordinates. One computation serves
// hit-testing and painting.
struct FrameLayout {
  int captionHeight = 0;
  int border = 0;
  RECT window{};
  RECT caption{};
  RECT client{};
  RECT sysButton{};
  RECT minButton{};
  int captionTextLeft = 0;
};

class FrameController {
 public:
  // Takes over the frame of `window` (a WS_POPUP window with WS_SYSMENU), keeping its
  // client size and its centre.
  // `minimizeButton` false gives a dialog's frame: the system-menu button only, and a
  // system menu that only closes.
  explicit FrameController(HWND window, bool minimizeButton = true);
  ~FrameController();
  FrameController(const FrameController&) = delete;
  FrameController& operator=(const FrameController&) = delete;

  // The skin to draw with, or none for the plain look; the window is re-measured so
  // its client area keeps its size.
  void SetSkin(const TskSkinData* skin);
  const TskSkinData* Skin() const { return skin_; }

  FrameLayout Layout() const;
  CaptionButton ButtonAt(POINT windowPoint) const;
  CaptionButton HotButton() const { return hot_; }
  CaptionButton PressedButton() const { return pressedInside_ ? pressed_ : CaptionButton::kNone; }

  // Fills the window's system menu with the caption table's texts and returns it.
  HMENU PrepareSystemMenu();
  // Shows the system menu at a screen point and carries out the chosen command.
  void ShowSystemMenu(POINT screen);
  // Paints the whole frame into `dc` (window coordinates; the client area is left).
  void PaintFrame(HDC dc);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
  void Remeasure();
  void Repaint();
  void PaintButton(HDC dc, CaptionButton which, const RECT& r);
  void SetHot(CaptionButton hot);

  HWND hwnd_;
  bool minimizeButton_;
  const TskSkinData* skin_ = nullptr;
  bool active_ = true;
  CaptionButton hot_ = CaptionButton::kNone;
  CaptionButton pressed_ = CaptionButton::kNone;
  bool pressedInside_ = false;
  winapp::Font captionFont_;
};

}  // namespace skin
