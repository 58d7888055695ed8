#include "controls.h"

// --- TImage -------------------------------------------------------------------------

TImage::TImage(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds)
    : TWinControl(owner, name, parent, L"TImage", bounds) {}

void TImage::LoadFromFile(const std::string& path) {
  SetPicture(skin::Picture::FromFile(path));
}

void TImage::SetPicture(skin::Picture picture) {
  picture_ = std::move(picture);
  if (autoSize_ && !picture_.Empty()) {
    TBounds b = Bounds();
    b.width = picture_.Width();
    b.height = picture_.Height();
    SetBounds(b);
  }
  UpdateShown();
}

void TImage::UpdateShown() {
  keyed_ = skin::Picture();
  if (transparent_ && !picture_.Empty() && !picture_.HasAlpha()) {
    keyed_ = picture_.Copy();
    const COLORREF key = picture_.PixelColour(0, picture_.Height() - 1);
    keyed_.MakeTransparent((static_cast<skin::Rgb>(GetRValue(key)) << 16) | (GetGValue(key) << 8) |
                           GetBValue(key));
  }
  Invalidate();
}

void TImage::SetAutoSize(bool on) {
  autoSize_ = on;
  if (on && !picture_.Empty()) {
    TBounds b = Bounds();
    b.width = picture_.Width();
    b.height = picture_.Height();
    SetBounds(b);
  }
}

void TImage::SetTransparent(bool on) {
  transparent_ = on;
  UpdateShown();
}

void TImage::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Handle(), &r);
  const bool covers = !picture_.Empty() && !picture_.HasAlpha() && !transparent_ &&
                      picture_.Width() >= r.right && picture_.Height() >= r.bottom;
  if (!covers) PaintBehind(dc);
  if (picture_.Empty()) return;
  (keyed_.Empty() ? picture_ : keyed_).Draw(dc, 0, 0);
}

LRESULT TImage::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETCURSOR && handCursor_ && LOWORD(lp) == HTCLIENT) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return TRUE;
  }
  return TWinControl::HandleMessage(msg, wp, lp);
}

// --- TLabel -------------------------------------------------------------------------

TLabel::TLabel(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds,
               const std::string& caption)
    : TWinControl(owner, name, parent, L"TLabel", bounds) {
  SetCaption(caption);
}

void TLabel::SetFontColor(COLORREF c) {
  color_ = c;
  Invalidate();
}

void TLabel::Paint(HDC dc) {
  PaintBehind(dc);
  RECT r{};
  GetClientRect(Handle(), &r);
  const int n = GetWindowTextLengthW(Handle());
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Handle(), text.data(), n + 1)));
  winapp::Selected keep(dc, Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color_);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

// --- TPanel -------------------------------------------------------------------------

TPanel::TPanel(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds)
    : TWinControl(owner, name, parent, L"TPanel", bounds, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT),
      color_(GetSysColor(COLOR_BTNFACE)),
      fontColor_(GetSysColor(COLOR_BTNTEXT)) {}

void TPanel::SetColor(COLORREF c) {
  color_ = c;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TPanel::SetFontColor(COLORREF c) {
  fontColor_ = c;
  Invalidate();
}

void TPanel::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Handle(), &r);
  winapp::Brush b(CreateSolidBrush(color_));
  FillRect(dc, &r, b.get());
  DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
  const int n = GetWindowTextLengthW(Handle());
  if (n == 0) return;
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Handle(), text.data(), n + 1)));
  winapp::Selected keep(dc, Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, fontColor_);
  // Centred both ways, over as many lines as it needs.
  RECT measured = r;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
            DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  RECT place = r;
  place.top = r.top + ((r.bottom - r.top) - (measured.bottom - measured.top)) / 2;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place, DT_CENTER | DT_WORDBREAK);
}

LRESULT TPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    // Children in front of the panel ask for its background.
    RECT r{};
    GetClientRect(Handle(), &r);
    winapp::Brush b(CreateSolidBrush(color_));
    FillRect(reinterpret_cast<HDC>(wp), &r, b.get());
    return 1;
  }
  return TWinControl::HandleMessage(msg, wp, lp);
}

// --- TImageList ---------------------------------------------------------------------

TImageList::TImageList(TComponentOwner* owner, const std::string& name, int width, int height)
    : TComponent(owner, name), width_(width), height_(height) {}

int TImageList::Count() const {
  if (strip_.Empty() || width_ <= 0 || strip_.Height() < height_) return 0;
  return strip_.Width() / width_;
}

void TImageList::Draw(HDC dc, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  strip_.Draw(dc, RECT{x, y, x + width_, y + height_}, skin::Rect{index * width_, 0, width_, height_});
}
