#include "skin_controls.h"

#include <string>

#include "win/controls.h"

namespace {

COLORREF Gdi(skin::Rgb c) {
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

}  // namespace

TskSkinControl::TskSkinControl(TComponentOwner* owner, const std::string& name, HWND parent,
                               const wchar_t* className, const TBounds& bounds, DWORD style)
    : TWinControl(owner, name, parent, className, bounds, style), binding_([this] { Invalidate(); }) {}

// --- TskSkinCheckBox ----------------------------------------------------------------

TskSkinCheckBox::TskSkinCheckBox(TComponentOwner* owner, const std::string& name, HWND parent,
                                 const TBounds& bounds)
    : TskSkinControl(owner, name, parent, L"TskSkinCheckBox", bounds, WS_TABSTOP) {}

void TskSkinCheckBox::SetChecked(bool checked) {
  checked_ = checked;
  Invalidate();
}

void TskSkinCheckBox::Click() {
  SetChecked(!checked_);
  TskSkinControl::Click();
}

void TskSkinCheckBox::Paint(HDC dc) {
  PaintBehind(dc);
  RECT r{};
  GetClientRect(Handle(), &r);
  int x = 0;
  const TskSkinData* skin = ActiveSkin();
  const char* state = checked_ ? (PointerOver() ? "checkbox.checked.over" : "checkbox.checked")
                               : (PointerOver() ? "checkbox.unchecked.over" : "checkbox.unchecked");
  const char* plainState = checked_ ? "checkbox.checked" : "checkbox.unchecked";
  const SIZE size = skin ? skin->ControlSize(plainState) : SIZE{0, 0};
  if (size.cx > 0) {
    const int top = (r.bottom - size.cy) / 2;
    const RECT box{0, top, size.cx, top + size.cy};
    if (!skin->DrawControl(dc, box, state)) skin->DrawControl(dc, box, plainState);
    x = size.cx;
  } else {
    // The plain look: a flat white box with a tick.
    const int s = 13, top = (r.bottom - s) / 2;
    RECT box{1, top, 1 + s, top + s};
    winapp::Brush face(CreateSolidBrush(PointerOver() ? RGB(232, 240, 255) : RGB(255, 255, 255)));
    FillRect(dc, &box, face.get());
    winapp::Brush frame(CreateSolidBrush(RGB(90, 100, 115)));
    FrameRect(dc, &box, frame.get());
    if (checked_) {
      winapp::Pen pen(CreatePen(PS_SOLID, 2, RGB(20, 60, 140)));
      winapp::Selected keep(dc, pen.get());
      MoveToEx(dc, box.left + 3, box.top + 6, nullptr);
      LineTo(dc, box.left + 5, box.top + 9);
      LineTo(dc, box.left + 10, box.top + 3);
    }
    x = s + 2;
  }
  if (images_ && imageIndex_ >= 0 && imageIndex_ < images_->Count()) {
    images_->Draw(dc, x + 1, (r.bottom - images_->Height()) / 2, imageIndex_);
    x += 1 + images_->Width();
  }
  const std::wstring text = winapp::WindowTextW(Handle());
  if (!text.empty()) {
    RECT tr{x + 3, 0, r.right, r.bottom};
    winapp::Selected keep(dc, Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin ? Gdi(skin->Description().form.textColor) : GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  if (GetFocus() == Handle()) {
    RECT fr = r;
    DrawFocusRect(dc, &fr);
  }
}

LRESULT TskSkinCheckBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case BM_GETCHECK: return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: SetChecked(wp == BST_CHECKED); return 0;
    case WM_GETDLGCODE: return DLGC_BUTTON;
    case WM_KEYUP:
      if (wp == VK_SPACE) Click();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); return 0;
    case WM_LBUTTONDOWN: SetFocus(Handle()); break;
  }
  return TskSkinControl::HandleMessage(msg, wp, lp);
}

// --- TskSkinXFormButton -------------------------------------------------------------

TskSkinXFormButton::TskSkinXFormButton(TComponentOwner* owner, const std::string& name, HWND parent,
                                       const TBounds& bounds)
    : TskSkinControl(owner, name, parent, L"TskSkinXFormButton", bounds) {}

namespace {

skin::Picture LoadBitmapFile(const std::string& path) {
  return skin::Picture::FromFile(path);
}

}  // namespace

void TskSkinXFormButton::LoadDefImage(const std::string& path) {
  DefImage = LoadBitmapFile(path);
  Invalidate();
}

void TskSkinXFormButton::LoadDefActiveImage(const std::string& path) {
  DefActiveImage = LoadBitmapFile(path);
  Invalidate();
}

void TskSkinXFormButton::LoadDefDownImage(const std::string& path) {
  DefDownImage = LoadBitmapFile(path);
  Invalidate();
}

TskSkinXFormButton::Face TskSkinXFormButton::CurrentFace() const {
  if (ActiveSkin()) return Face::kSkin;
  if (DefImage.Empty()) return Face::kPlain;
  if (Pressed() && !DefDownImage.Empty()) return Face::kDefDownImage;
  if (PointerOver() && !Pressed() && !DefActiveImage.Empty()) return Face::kDefActiveImage;
  return Face::kDefImage;
}

void TskSkinXFormButton::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Handle(), &r);
  const Face face = CurrentFace();
  const skin::Picture* picture = face == Face::kDefDownImage     ? &DefDownImage
                                 : face == Face::kDefActiveImage ? &DefActiveImage
                                 : face == Face::kDefImage       ? &DefImage
                                                                 : nullptr;
  if (picture) {
    PaintBehind(dc);
    picture->Draw(dc, r, skin::Rect{0, 0, picture->Width(), picture->Height()});
    return;
  }
  const TskSkinData* skin = ActiveSkin();
  COLORREF textColour = GetSysColor(COLOR_BTNTEXT);
  bool drawn = false;
  if (skin) {
    PaintBehind(dc);
    const char* state = Pressed() ? "button.down" : PointerOver() ? "button.over" : "button.normal";
    drawn = skin->DrawControl(dc, r, state) || skin->DrawControl(dc, r, "button.normal");
    textColour = Gdi(skin->Description().form.buttonTextColor);
  }
  if (!drawn) {
    winapp::Brush b(
        CreateSolidBrush(PointerOver() && !Pressed() ? RGB(236, 240, 246) : GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &r, b.get());
    RECT e = r;
    DrawEdge(dc, &e, Pressed() ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  const std::wstring text = winapp::WindowTextW(Handle());
  RECT tr = r;
  if (Pressed()) OffsetRect(&tr, 1, 1);
  winapp::Selected keep(dc, Font() ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Enabled() ? textColour : GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
