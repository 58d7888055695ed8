#include "components.h"

#include <algorithm>

#include "win/control_name.h"
#include "win/controls.h"
#include "win/gbk_text.h"

TComponent* TComponentOwner::FindComponent(const std::string& name) const {
  for (TComponent* c : components_) {
    if (c->Name() == name) return c;
  }
  return nullptr;
}

TComponent::TComponent(TComponentOwner* owner, const std::string& name) : owner_(owner), name_(name) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  if (owner_) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

// --- TWinControl -------------------------------------------------------------------

TWinControl::TWinControl(TComponentOwner* owner, const std::string& name, HWND parent,
                         const wchar_t* className, const TBounds& b, DWORD style, DWORD exStyle,
                         HCURSOR cursor)
    : TComponent(owner, name) {
  winapp::WindowClassOptions cls;
  cls.cursor = cursor;
  CreateBaseWindow(className, cls, exStyle, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, b.left,
                   b.top, b.width, b.height, parent);
  winapp::SetControlName(Handle(), gbk::ToWide(name));
  // Later controls lie in front of earlier ones, as the form's layout expects.
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  font_ = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
}

TWinControl::~TWinControl() {
  DestroyBaseWindow();
}

TBounds TWinControl::Bounds() const {
  RECT r{};
  GetWindowRect(Handle(), &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle()), reinterpret_cast<POINT*>(&r), 2);
  return TBounds{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void TWinControl::SetBounds(const TBounds& b) {
  SetWindowPos(Handle(), nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
  Invalidate();
}

void TWinControl::SetEnabled(bool enabled) {
  EnableWindow(Handle(), enabled ? TRUE : FALSE);
  if (!enabled) {
    pressed_ = false;
    SetHover(false);
  }
  Invalidate();
}

void TWinControl::SetVisible(bool visible) {
  ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

std::string TWinControl::Caption() const {
  return winapp::ControlText(Handle());
}

void TWinControl::SetCaption(const std::string& gbk) {
  SetWindowTextW(Handle(), gbk::ToWide(gbk).c_str());
  Invalidate();
}

void TWinControl::SetFont(HFONT font) {
  font_ = font;
  Invalidate();
}

void TWinControl::SetOwnFont(const wchar_t* face, int height, bool bold, BYTE charset) {
  ownFont_.Reset(CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, charset, 0, 0,
                             CLEARTYPE_QUALITY, 0, face));
  SetFont(ownFont_.get());
}

void TWinControl::Invalidate() {
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TWinControl::PaintTo(HDC dc) {
  Paint(dc);
}

void TWinControl::Click() {
  if (OnClick) OnClick();
}

void TWinControl::PaintBehind(HDC dc) {
  HWND self = Handle();
  HWND parent = GetParent(self);
  RECT mine{};
  GetWindowRect(self, &mine);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&mine), 2);

  // The parent's background, as the parent paints it.
  const int saved = SaveDC(dc);
  SetViewportOrgEx(dc, -mine.left, -mine.top, nullptr);
  SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);

  // The siblings below this one that it overlaps, bottom first.
  std::vector<std::pair<HWND, RECT>> below;
  for (HWND h = GetWindow(self, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT)) {
    // Its own visibility: the parent may not be shown yet.
    if (!(GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    RECT overlap{};
    if (IntersectRect(&overlap, &r, &mine)) below.emplace_back(h, r);
  }
  for (auto it = below.rbegin(); it != below.rend(); ++it) {
    const RECT& r = it->second;
    const int s = SaveDC(dc);
    IntersectClipRect(dc, r.left - mine.left, r.top - mine.top, r.right - mine.left, r.bottom - mine.top);
    SetViewportOrgEx(dc, r.left - mine.left, r.top - mine.top, nullptr);
    SendMessageW(it->first, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    RestoreDC(dc, s);
  }
}

void TWinControl::SetHover(bool hover) {
  if (hover_ == hover) return;
  hover_ = hover;
  if (hover) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&t);
  }
  Invalidate();
}

LRESULT TWinControl::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: return 1;  // Paint covers every pixel
    case WM_PAINT: {
      winapp::PaintScope ps(Handle());
      RECT r{};
      GetClientRect(Handle(), &r);
      winapp::MemoryCanvas canvas(ps.dc(), r.right, r.bottom);
      Paint(canvas.dc());
      canvas.CopyTo(ps.dc());
      return 0;
    }
    case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wp)); return 0;
    case WM_SETTEXT: {
      const LRESULT r = DefaultMessage(msg, wp, lp);
      Invalidate();
      return r;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wp);
      if (LOWORD(lp)) Invalidate();
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_MOUSEMOVE: {
      RECT r{};
      GetClientRect(Handle(), &r);
      const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      SetHover(PtInRect(&r, p) != FALSE);
      return 0;
    }
    case WM_MOUSELEAVE:
      hover_ = true;  // so SetHover repaints
      SetHover(false);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(Handle());
      SetHover(true);
      Invalidate();
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == Handle()) ReleaseCapture();
      RECT r{};
      GetClientRect(Handle(), &r);
      const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      Invalidate();
      if (wasPressed && PtInRect(&r, p)) Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = false;
        Invalidate();
      }
      return 0;
  }
  return DefaultMessage(msg, wp, lp);
}

// --- TForm -------------------------------------------------------------------------

TForm::TForm(const wchar_t* className, int clientWidth, int clientHeight) {
  font_.Reset(
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Tahoma"));
  winapp::WindowClassOptions cls;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - clientWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - clientHeight) / 2;
  // No frame of its own: the skinned frame draws caption and border. The system menu
  // and the minimise box stay, so the keyboard and the taskbar work as usual.
  CreateBaseWindow(className, cls, WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, L"",
                   WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, x, y, clientWidth, clientHeight,
                   nullptr);
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

TForm::~TForm() {
  DestroyBaseWindow();
}

std::string TForm::Caption() const {
  return winapp::ControlText(Handle());
}

void TForm::SetCaption(const std::string& gbk) {
  SetWindowTextW(Handle(), gbk::ToWide(gbk).c_str());
}

void TForm::SetColor(COLORREF c) {
  color_ = c;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TForm::SetSkinColor(std::optional<COLORREF> c) {
  skinColor_ = c;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TForm::Show() {
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
}

void TForm::Close() {
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

LRESULT TForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(Handle(), &r);
      winapp::Brush b(CreateSolidBrush(BackgroundColor()));
      FillRect(reinterpret_cast<HDC>(wp), &r, b.get());
      return 1;
    }
    case WM_SETFONT: return 0;  // the form keeps its own font
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.get());
    case WM_CLOSE: {
      bool canClose = true;
      if (OnClose) OnClose(canClose);
      if (canClose) DestroyWindow(Handle());
      return 0;
    }
    case WM_DESTROY:
      if (MainForm) PostQuitMessage(0);
      return 0;
  }
  return DefaultMessage(msg, wp, lp);
}
