#include "controls.h"

#include "win/control_name.h"
#include "win/gbk_text.h"

namespace winapp {

HWND CreateControl(HWND parent, const ControlSpec& s) {
  HWND c = CreateWindowExW(s.exStyle, s.className, gbk::ToWide(s.text).c_str(),
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | s.style, s.left, s.top, s.width,
                           s.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)),
                           GetModuleHandleW(nullptr), nullptr);
  if (c) {
    SetControlName(c, s.name);
    if (s.font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
  }
  return c;
}

std::wstring WindowTextW(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), n + 1)));
  return text;
}

std::string ControlText(HWND control) {
  return gbk::FromWide(WindowTextW(control));
}

void SetControlText(HWND control, const std::string& gbk, bool repaint) {
  SetWindowTextW(control, gbk::ToWide(gbk).c_str());
  if (repaint) UpdateWindow(control);
}

}  // namespace winapp
