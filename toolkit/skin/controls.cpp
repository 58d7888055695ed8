#include "controls.h"

#include <richedit.h>

#include "win/controls.h"
#include "win/gbk_text.h"

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
  const std::wstring text = winapp::WindowTextW(Handle());
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
  const std::wstring text = winapp::WindowTextW(Handle());
  if (text.empty()) return;
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

// --- TPaintBox ----------------------------------------------------------------------

TPaintBox::TPaintBox(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds)
    : TWinControl(owner, name, parent, L"TPaintBox", bounds) {}

void TPaintBox::Paint(HDC dc) {
  if (OnPaint) {
    OnPaint(dc);
  } else {
    PaintBehind(dc);
  }
}

// --- TRichEdit ----------------------------------------------------------------------

TRichEdit::TRichEdit(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& b,
                     DWORD style)
    : TComponent(owner, name) {
  // The control's class comes with its library, loaded once for the process.
  static const HMODULE library = LoadLibraryW(L"riched20.dll");
  if (!library) throw skin::SkinError("the rich edit control is not available");
  hwnd_ = winapp::CreateControl(parent, {RICHEDIT_CLASSW, "", style, 0, b.left, b.top, b.width, b.height,
                                         gbk::ToWide(name).c_str(), nullptr, 0});
  if (!hwnd_) throw skin::SkinError("cannot create the rich edit control " + name);
  // Later controls lie in front of earlier ones.
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TRichEdit::~TRichEdit() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void TRichEdit::SetBackgroundColor(COLORREF c) {
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(c));
}

void TRichEdit::SetDefaultFormat(const wchar_t* face, int heightPx, COLORREF colour, BYTE charset) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_CHARSET | CFM_BOLD;
  lstrcpynW(cf.szFaceName, face, LF_FACESIZE);
  cf.yHeight = heightPx * 15;  // twips at 96 pixels per inch
  cf.crTextColor = colour;
  cf.bCharSet = charset;
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

void TRichEdit::MoveCaretToEnd() {
  CHARRANGE end{-1, -1};
  SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
}

void TRichEdit::SetSelectionSize(int points) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_SIZE;
  cf.yHeight = points * 20;
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

void TRichEdit::SetSelectionColour(COLORREF colour, bool bold) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR | CFM_BOLD;
  cf.dwEffects = bold ? CFE_BOLD : 0;
  cf.crTextColor = colour;
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

void TRichEdit::InsertText(const std::string& gbk) {
  SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(gbk::ToWide(gbk).c_str()));
}

void TRichEdit::ScrollToBottom() {
  SendMessageW(hwnd_, WM_VSCROLL, SB_BOTTOM, 0);
}

std::string TRichEdit::Text() const {
  return winapp::ControlText(hwnd_);
}

TRichEdit::CharFormat TRichEdit::FormatAt(int index) const {
  CHARRANGE keep{};
  SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&keep));
  CHARRANGE one{index, index + 1};
  SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR | CFM_BOLD | CFM_SIZE;
  SendMessageW(hwnd_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&keep));
  return CharFormat{cf.crTextColor, (cf.dwEffects & CFE_BOLD) != 0, static_cast<int>(cf.yHeight / 20)};
}
