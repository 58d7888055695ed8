#include "skin_frame.h"

#include <commctrl.h>

#include <string>

#include "caption_table.h"
#include "uskSkinData.h"
#include "win/base_window.h"
#include "win/controls.h"
#include "win/gbk_text.h"

namespace skin {

namespace {

constexpr UINT_PTR kSubclassId = 0x534B4652;  // "SKFR"
// The plain look.
constexpr int kPlainButton = 18;
const FormInfo kPlain{};

COLORREF Gdi(Rgb c) {
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
  winapp::Brush b(CreateSolidBrush(c));
  FillRect(dc, &r, b.get());
}

void VerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  TRIVERTEX v[2] = {
      {r.left, r.top, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
       static_cast<COLOR16>(GetBValue(top) << 8), 0xFF00},
      {r.right, r.bottom, static_cast<COLOR16>(GetRValue(bottom) << 8),
       static_cast<COLOR16>(GetGValue(bottom) << 8), static_cast<COLOR16>(GetBValue(bottom) << 8), 0xFF00}};
  GRADIENT_RECT g{0, 1};
  GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

RECT ButtonRect(const Position& pos, SIZE size, int windowWidth) {
  const int left = pos.left < 0 ? windowWidth + pos.left : pos.left;
  return RECT{left, pos.top, left + size.cx, pos.top + size.cy};
}

}  // namespace

FrameController::FrameController(HWND window, bool minimizeButton)
    : hwnd_(window), minimizeButton_(minimizeButton) {
  SetWindowSubclass(hwnd_, &FrameController::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  PrepareSystemMenu();
  Remeasure();
}

FrameController::~FrameController() {
  if (IsWindow(hwnd_)) {
    RemoveWindowSubclass(hwnd_, &FrameController::SubclassProc, kSubclassId);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void FrameController::SetSkin(const TskSkinData* skin) {
  skin_ = skin && !skin->Empty() ? skin : nullptr;
  Remeasure();
}

FrameLayout FrameController::Layout() const {
  const FormInfo& f = skin_ ? skin_->Description().form : kPlain;
  FrameLayout l;
  RECT wr{};
  GetWindowRect(hwnd_, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  l.captionHeight = f.captionHeight;
  l.border = f.borderWidth;
  l.window = RECT{0, 0, w, h};
  l.caption = RECT{0, 0, w, f.captionHeight};
  l.client = RECT{l.border, l.captionHeight, w - l.border, h - l.border};
  SIZE sys{kPlainButton, kPlainButton}, min{kPlainButton, kPlainButton};
  if (skin_) {
    const SIZE s = skin_->ObjectSize("sysbutton.normal"), m = skin_->ObjectSize("minbutton.normal");
    if (s.cx > 0) sys = s;
    if (m.cx > 0) min = m;
  }
  l.sysButton = ButtonRect(f.sysButtonPos, sys, w);
  l.minButton = minimizeButton_ ? ButtonRect(f.minButtonPos, min, w) : RECT{w, 0, w, 0};
  l.captionTextLeft = f.captionTextLeft;
  return l;
}

CaptionButton FrameController::ButtonAt(POINT p) const {
  const FrameLayout l = Layout();
  if (PtInRect(&l.sysButton, p)) return CaptionButton::kSystemMenu;
  if (PtInRect(&l.minButton, p)) return CaptionButton::kMinimize;
  return CaptionButton::kNone;
}

void FrameController::Remeasure() {
  const FormInfo& f = skin_ ? skin_->Description().form : kPlain;
  captionFont_.Reset(CreateFontW(-f.captionFontHeight, 0, 0, 0, f.captionFontBold ? FW_BOLD : FW_NORMAL, 0, 0,
                                 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                                 gbk::ToWide(f.captionFont).c_str()));
  if (IsIconic(hwnd_)) {
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  // The client area keeps its size and the window its centre.
  RECT client{}, wr{};
  GetClientRect(hwnd_, &client);
  GetWindowRect(hwnd_, &wr);
  const int w = client.right + 2 * f.borderWidth;
  const int h = client.bottom + f.captionHeight + f.borderWidth;
  const int cx = (wr.left + wr.right) / 2, cy = (wr.top + wr.bottom) / 2;
  SetWindowPos(hwnd_, nullptr, cx - w / 2, cy - h / 2, w, h,
               SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
  Repaint();
}

void FrameController::Repaint() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

HMENU FrameController::PrepareSystemMenu() {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return nullptr;
  while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  if (minimizeButton_) {
    AppendMenuW(menu, MF_STRING, SC_RESTORE, gbk::ToWide(Caption("MI_RESTORECAPTION")).c_str());
    AppendMenuW(menu, MF_STRING, SC_MINIMIZE, gbk::ToWide(Caption("MI_MINCAPTION")).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  }
  AppendMenuW(menu, MF_STRING, SC_CLOSE, gbk::ToWide(Caption("MI_CLOSECAPTION")).c_str());
  const bool iconic = IsIconic(hwnd_) != FALSE;
  EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | (iconic || IsZoomed(hwnd_) ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, SC_MINIMIZE, MF_BYCOMMAND | (iconic ? MF_GRAYED : MF_ENABLED));
  SetMenuDefaultItem(menu, SC_CLOSE, FALSE);
  return menu;
}

void FrameController::ShowSystemMenu(POINT screen) {
  HMENU menu = PrepareSystemMenu();
  if (!menu) return;
  SetForegroundWindow(hwnd_);
  const UINT cmd =
      static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                                       screen.x, screen.y, 0, hwnd_, nullptr));
  PostMessageW(hwnd_, WM_NULL, 0, 0);  // lets the menu close cleanly
  if (cmd) SendMessageW(hwnd_, WM_SYSCOMMAND, cmd, 0);
}

void FrameController::PaintButton(HDC dc, CaptionButton which, const RECT& r) {
  const bool hot = hot_ == which, down = PressedButton() == which;
  const char* base = which == CaptionButton::kSystemMenu ? "sysbutton" : "minbutton";
  if (skin_) {
    const std::string state = std::string(base) + (down ? ".down" : hot ? ".over" : ".normal");
    if (skin_->DrawObject(dc, r, state.c_str())) return;
    if (skin_->DrawObject(dc, r, (std::string(base) + ".normal").c_str())) return;
  }
  // The plain look: a flat square, lighter under the pointer, darker when pressed.
  const COLORREF face = down ? RGB(20, 50, 95) : hot ? RGB(90, 140, 200) : RGB(60, 105, 165);
  Fill(dc, r, face);
  winapp::Pen pen(CreatePen(PS_SOLID, 1, RGB(230, 240, 255)));
  winapp::Selected keepPen(dc, pen.get());
  winapp::Selected keepBrush(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, off = down ? 1 : 0;
  if (which == CaptionButton::kMinimize) {
    const RECT bar{cx - 4 + off, cy + 2 + off, cx + 4 + off, cy + 4 + off};
    Fill(dc, bar, RGB(255, 255, 255));
  } else {
    // Three lines: "a menu".
    for (int i = -1; i <= 1; ++i) {
      const RECT line{cx - 4 + off, cy + i * 3 - 1 + off, cx + 5 + off, cy + i * 3 + 1 + off};
      Fill(dc, line, RGB(255, 255, 255));
    }
  }
}

void FrameController::PaintFrame(HDC dc) {
  const FrameLayout l = Layout();
  const FormInfo& f = skin_ ? skin_->Description().form : kPlain;
  const RECT left{0, l.captionHeight, l.border, l.window.bottom};
  const RECT right{l.window.right - l.border, l.captionHeight, l.window.right, l.window.bottom};
  const RECT bottom{0, l.window.bottom - l.border, l.window.right, l.window.bottom};

  bool drawn = false;
  if (skin_) {
    drawn = (!active_ && skin_->DrawObject(dc, l.caption, "caption.inactive")) ||
            skin_->DrawObject(dc, l.caption, "caption");
    if (!skin_->DrawObject(dc, left, "border.left")) Fill(dc, left, Gdi(f.bodyColor));
    if (!skin_->DrawObject(dc, right, "border.right")) Fill(dc, right, Gdi(f.bodyColor));
    if (!skin_->DrawObject(dc, bottom, "border.bottom")) Fill(dc, bottom, Gdi(f.bodyColor));
  }
  if (!drawn) {
    VerticalGradient(dc, l.caption, active_ ? RGB(70, 120, 185) : RGB(150, 155, 165),
                     active_ ? RGB(35, 75, 135) : RGB(115, 120, 130));
  }
  if (!skin_) {
    const COLORREF edge = active_ ? RGB(35, 75, 135) : RGB(115, 120, 130);
    Fill(dc, left, edge);
    Fill(dc, right, edge);
    Fill(dc, bottom, edge);
  }

  // The caption, vertically centred between the buttons.
  const std::wstring text = winapp::WindowTextW(hwnd_);
  RECT tr{l.captionTextLeft, 0, (minimizeButton_ ? l.minButton.left : l.window.right) - 4, l.captionHeight};
  if (!skin_) tr.left = l.sysButton.right + 6;
  winapp::Selected keepFont(dc, captionFont_.get());
  SetBkMode(dc, TRANSPARENT);
  const UINT fmt = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (f.captionShadowColor) {
    RECT sr = tr;
    OffsetRect(&sr, 1, 1);
    SetTextColor(dc, Gdi(*f.captionShadowColor));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &sr, fmt);
  }
  SetTextColor(dc, Gdi(!active_ && f.captionInactiveColor ? *f.captionInactiveColor : f.captionColor));
  if (!skin_ && !active_) SetTextColor(dc, RGB(225, 228, 232));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, fmt);

  PaintButton(dc, CaptionButton::kSystemMenu, l.sysButton);
  if (minimizeButton_) PaintButton(dc, CaptionButton::kMinimize, l.minButton);
}

void FrameController::SetHot(CaptionButton hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  Repaint();
}

LRESULT CALLBACK FrameController::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                               DWORD_PTR self) {
  auto* frame = reinterpret_cast<FrameController*>(self);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &FrameController::SubclassProc, kSubclassId);
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  bool handled = false;
  try {
    const LRESULT r = frame->Handle(msg, wp, lp, handled);
    if (handled) return r;
  } catch (const std::exception& e) {
    winapp::ReportError(hwnd, e);
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT FrameController::Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  handled = true;
  switch (msg) {
    case WM_NCCALCSIZE: {
      const FormInfo& f = skin_ ? skin_->Description().form : kPlain;
      RECT* r = wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : reinterpret_cast<RECT*>(lp);
      r->left += f.borderWidth;
      r->right -= f.borderWidth;
      r->top += f.captionHeight;
      r->bottom -= f.borderWidth;
      if (r->right < r->left) r->right = r->left;
      if (r->bottom < r->top) r->bottom = r->top;
      return 0;
    }
    case WM_NCHITTEST: {
      RECT wr{};
      GetWindowRect(hwnd_, &wr);
      const POINT p{static_cast<short>(LOWORD(lp)) - wr.left, static_cast<short>(HIWORD(lp)) - wr.top};
      const FrameLayout l = Layout();
      switch (ButtonAt(p)) {
        case CaptionButton::kSystemMenu: return HTSYSMENU;
        case CaptionButton::kMinimize: return HTMINBUTTON;
        case CaptionButton::kNone: break;
      }
      if (PtInRect(&l.client, p)) return HTCLIENT;
      if (PtInRect(&l.caption, p)) return HTCAPTION;
      return PtInRect(&l.window, p) ? HTBORDER : HTNOWHERE;
    }
    case WM_NCPAINT: {
      winapp::WindowDC wdc(hwnd_);
      const FrameLayout l = Layout();
      winapp::MemoryCanvas canvas(wdc.dc(), l.window.right, l.window.bottom);
      PaintFrame(canvas.dc());
      ExcludeClipRect(wdc.dc(), l.client.left, l.client.top, l.client.right, l.client.bottom);
      canvas.CopyTo(wdc.dc());
      return 0;
    }
    case WM_NCACTIVATE:
      active_ = wp != FALSE;
      Repaint();
      return TRUE;  // the system must not draw a caption of its own
    case WM_SETTEXT: {
      const LRESULT r = DefSubclassProc(hwnd_, msg, wp, lp);
      Repaint();
      return r;
    }
    case WM_NCMOUSEMOVE: {
      SetHot(wp == HTSYSMENU     ? CaptionButton::kSystemMenu
             : wp == HTMINBUTTON ? CaptionButton::kMinimize
                                 : CaptionButton::kNone);
      TRACKMOUSEEVENT t{sizeof t, TME_LEAVE | TME_NONCLIENT, hwnd_, 0};
      TrackMouseEvent(&t);
      handled = false;
      return 0;
    }
    case WM_NCMOUSELEAVE:
      SetHot(CaptionButton::kNone);
      handled = false;
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wp == HTSYSMENU || wp == HTMINBUTTON) {
        pressed_ = wp == HTSYSMENU ? CaptionButton::kSystemMenu : CaptionButton::kMinimize;
        pressedInside_ = true;
        SetCapture(hwnd_);
        Repaint();
        return 0;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (wp == HTSYSMENU) {
        PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
      }
      if (wp == HTMINBUTTON) return 0;
      break;
    case WM_MOUSEMOVE:
      if (pressed_ != CaptionButton::kNone) {
        // Client coordinates to window coordinates.
        const FrameLayout l = Layout();
        const POINT p{static_cast<short>(LOWORD(lp)) + l.client.left,
                      static_cast<short>(HIWORD(lp)) + l.client.top};
        const bool inside = ButtonAt(p) == pressed_;
        if (inside != pressedInside_) {
          pressedInside_ = inside;
          Repaint();
        }
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (pressed_ != CaptionButton::kNone) {
        const CaptionButton which = pressed_;
        const FrameLayout l = Layout();
        const POINT p{static_cast<short>(LOWORD(lp)) + l.client.left,
                      static_cast<short>(HIWORD(lp)) + l.client.top};
        const bool inside = ButtonAt(p) == which;
        pressed_ = CaptionButton::kNone;
        pressedInside_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        Repaint();
        if (!inside) return 0;
        if (which == CaptionButton::kMinimize) {
          SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        } else {
          RECT wr{};
          GetWindowRect(hwnd_, &wr);
          ShowSystemMenu(POINT{wr.left + l.sysButton.left, wr.top + l.sysButton.bottom});
        }
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      if (pressed_ != CaptionButton::kNone && reinterpret_cast<HWND>(lp) != hwnd_) {
        pressed_ = CaptionButton::kNone;
        pressedInside_ = false;
        Repaint();
      }
      break;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_KEYMENU && lp == ' ') {
        const FrameLayout l = Layout();
        RECT wr{};
        GetWindowRect(hwnd_, &wr);
        ShowSystemMenu(POINT{wr.left + l.sysButton.left, wr.top + l.sysButton.bottom});
        return 0;
      }
      if ((wp & 0xFFF0) == SC_MOUSEMENU) return 0;
      break;
    case WM_INITMENUPOPUP:
      if (HIWORD(lp)) PrepareSystemMenu();
      break;
  }
  handled = false;
  return 0;
}

}  // namespace skin
