#include "uskSkinMessage.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "caption_table.h"
#include "skin_frame.h"
#include "win/control_name.h"
#include "win/controls.h"
#include "win/gbk_text.h"

namespace {

constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 0xFFFE;
constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 84, kButtonHeight = 28, kButtonGap = 12;
constexpr int kMaxTextWidth = 420;

COLORREF Gdi(skin::Rgb c) {
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

struct ButtonSpec {
  int id;
  const char* captionKey;
  const wchar_t* name;
};

// Everything one box needs while it is open.
struct Box {
  std::wstring text;
  std::wstring caption;
  LPCWSTR icon = nullptr;
  std::vector<ButtonSpec> buttons;
  int escapeAnswer = IDOK;
  const TskSkinData* frameSkin = nullptr;
  const TskSkinData* ctrlSkin = nullptr;
  std::unique_ptr<skin::FrameController> frame;
  winapp::Font font;
  winapp::Brush body;
  COLORREF bodyColour = 0, textColour = 0;
};

void DrawButton(const Box& box, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool down = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &r, box.body.get());
  bool drawn = false;
  COLORREF textColour = GetSysColor(COLOR_BTNTEXT);
  if (box.ctrlSkin) {
    drawn = (down && box.ctrlSkin->DrawControl(dc, r, "button.down")) ||
            box.ctrlSkin->DrawControl(dc, r, "button.normal");
    textColour = Gdi(box.ctrlSkin->Description().form.buttonTextColor);
  }
  if (!drawn) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  const std::wstring text = winapp::WindowTextW(item.hwndItem);
  RECT tr = r;
  if (down) OffsetRect(&tr, 1, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, textColour);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (item.itemState & ODS_FOCUS) {
    RECT fr = r;
    InflateRect(&fr, -4, -4);
    DrawFocusRect(dc, &fr);
  }
}

HWND Child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int id,
           const wchar_t* name, HFONT font) {
  HWND h =
      CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (h) {
    winapp::SetControlName(h, name);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return h;
}

void Layout(HWND dlg, Box& box) {
  // The text's size decides the box's.
  HDC dc = GetDC(dlg);
  RECT tr{0, 0, kMaxTextWidth, 0};
  {
    winapp::Selected keep(dc, box.font.get());
    DrawTextW(dc, box.text.c_str(), static_cast<int>(box.text.size()), &tr,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  }
  ReleaseDC(dlg, dc);
  const int textLeft = kMargin + kIconSize + 14;
  const int textHeight = std::max<int>(tr.bottom, kIconSize);
  const int buttonsWidth = static_cast<int>(box.buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
  const int width =
      std::max({textLeft + static_cast<int>(tr.right) + kMargin + 4, buttonsWidth + 2 * kMargin, 260});
  const int height = kMargin + textHeight + kMargin + kButtonHeight + kMargin;

  HWND icon = GetDlgItem(dlg, kIconId);
  SetWindowPos(icon, nullptr, kMargin, kMargin, kIconSize, kIconSize, SWP_NOZORDER);
  const int textTop = kMargin + (textHeight - tr.bottom) / 2;
  SetWindowPos(GetDlgItem(dlg, kTextId), nullptr, textLeft, textTop, tr.right + 4, tr.bottom, SWP_NOZORDER);
  int x = (width - buttonsWidth) / 2;
  for (const ButtonSpec& b : box.buttons) {
    SetWindowPos(GetDlgItem(dlg, b.id), nullptr, x, height - kMargin - kButtonHeight, kButtonWidth,
                 kButtonHeight, SWP_NOZORDER);
    x += kButtonWidth + kButtonGap;
  }

  // The client area first; the frame is then put around it, keeping that size.
  SetWindowPos(dlg, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
  box.frame = std::make_unique<skin::FrameController>(dlg, false);
  box.frame->SetSkin(box.frameSkin);

  // Centred over the owner, or the screen.
  RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (HWND owner = GetWindow(dlg, GW_OWNER); owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &over);
  }
  RECT wr{};
  GetWindowRect(dlg, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  SetWindowPos(dlg, nullptr, (over.left + over.right - w) / 2, (over.top + over.bottom - h) / 2, 0, 0,
               SWP_NOZORDER | SWP_NOSIZE);
}

INT_PTR CALLBACK BoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  Box* box = reinterpret_cast<Box*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      box = reinterpret_cast<Box*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      SetWindowTextW(dlg, box->caption.c_str());
      HWND icon = Child(dlg, L"STATIC", L"", SS_ICON, kIconId, L"Img_Icon", box->font.get());
      SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, box->icon)), 0);
      Child(dlg, L"STATIC", box->text, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kTextId, L"Lbl_Text",
            box->font.get());
      for (const ButtonSpec& b : box->buttons) {
        Child(dlg, L"BUTTON", gbk::ToWide(skin::Caption(b.captionKey)), BS_OWNERDRAW | WS_TABSTOP, b.id,
              b.name, box->font.get());
      }
      Layout(dlg, *box);
      const int first = box->buttons.front().id;
      SendMessageW(dlg, DM_SETDEFID, static_cast<WPARAM>(first), 0);
      SetFocus(GetDlgItem(dlg, first));
      return FALSE;  // the focus is set
    }
    case WM_CTLCOLORDLG: return box ? reinterpret_cast<INT_PTR>(box->body.get()) : FALSE;
    case WM_CTLCOLORSTATIC:
      if (!box) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wp), box->textColour);
      SetBkColor(reinterpret_cast<HDC>(wp), box->bodyColour);
      return reinterpret_cast<INT_PTR>(box->body.get());
    case WM_DRAWITEM:
      if (!box) return FALSE;
      DrawButton(*box, *reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (!box) return FALSE;
      if (id == IDCANCEL) {
        EndDialog(dlg, box->escapeAnswer);
        return TRUE;
      }
      for (const ButtonSpec& b : box->buttons) {
        if (b.id == id) {
          EndDialog(dlg, id);
          return TRUE;
        }
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (box) EndDialog(dlg, box->escapeAnswer);
      return TRUE;
    case WM_DESTROY:
      if (box) box->frame.reset();
      return FALSE;
  }
  return FALSE;
}

// A dialog template with no controls: the box makes them itself.
std::vector<WORD> EmptyTemplate() {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
  auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
  d->style = WS_POPUP | WS_SYSMENU | WS_CLIPCHILDREN;
  return t;  // no menu, the standard class, an empty title
}

}  // namespace

TskSkinMessage::TskSkinMessage(TComponentOwner* owner, const std::string& name) : TComponent(owner, name) {}

int TskSkinMessage::MessageDlg(const std::string& text, Kind kind, Buttons buttons, HWND owner,
                               const std::string& caption) const {
  Box box;
  box.text = gbk::ToWide(text);
  const char* captionKey = "MSG_CAP_INFORMATION";
  // The system's icons: information, warning, error, question.
  switch (kind) {
    case Kind::kInformation: box.icon = MAKEINTRESOURCEW(32516); break;
    case Kind::kWarning:
      box.icon = MAKEINTRESOURCEW(32515);
      captionKey = "MSG_CAP_WARNING";
      break;
    case Kind::kError:
      box.icon = MAKEINTRESOURCEW(32513);
      captionKey = "MSG_CAP_ERROR";
      break;
    case Kind::kConfirmation:
      box.icon = MAKEINTRESOURCEW(32514);
      captionKey = "MSG_CAP_CONFIRM";
      break;
  }
  box.caption = gbk::ToWide(caption.empty() ? skin::Caption(captionKey) : caption);
  if (buttons == Buttons::kYesNo) {
    box.buttons = {{IDYES, "MSG_BTN_YES", L"Btn_Yes"}, {IDNO, "MSG_BTN_NO", L"Btn_No"}};
    box.escapeAnswer = IDNO;
  } else {
    box.buttons = {{IDOK, "MSG_BTN_OK", L"Btn_OK"}};
  }
  box.frameSkin = skin_.Active();
  box.ctrlSkin = ctrlSkin_.Active() ? ctrlSkin_.Active() : box.frameSkin;
  const skin::FormInfo* form = box.frameSkin ? &box.frameSkin->Description().form : nullptr;
  box.bodyColour = form ? Gdi(form->bodyColor) : GetSysColor(COLOR_BTNFACE);
  box.textColour = form ? Gdi(form->textColor) : GetSysColor(COLOR_BTNTEXT);
  box.body.Reset(CreateSolidBrush(box.bodyColour));
  box.font.Reset(
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Tahoma"));

  if (!owner) owner = GetActiveWindow();
  const std::vector<WORD> t = EmptyTemplate();
  const INT_PTR r =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()),
                              owner, &BoxProc, reinterpret_cast<LPARAM>(&box));
  return r > 0 ? static_cast<int>(r) : box.escapeAnswer;
}

void TskSkinMessage::ShowMessage(const std::string& text, HWND owner) const {
  MessageDlg(text, Kind::kInformation, Buttons::kOk, owner);
}
