// Thin wrappers for the system's own controls (labels, edits, buttons, progress bars,
// rich edits): a child window of a system class, placed, given its font and carrying
// its name (see control_name.h), with its text read and written as GBK.
#pragma once

#include <windows.h>

#include <string>

namespace winapp {

struct ControlSpec {
  const wchar_t* className = L"STATIC";
  std::string text;  // GBK
  DWORD style = 0;   // besides WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS
  DWORD exStyle = 0;
  int left = 0, top = 0, width = 0, height = 0;
  const wchar_t* name = L"";
  HFONT font = nullptr;
  int id = 0;
};

// The control, or nullptr when the system could not make it.
HWND CreateControl(HWND parent, const ControlSpec& spec);
std::string ControlText(HWND control);
// The text as the window holds it, for drawing it.
std::wstring WindowTextW(HWND window);
// Sets the text; `repaint` draws it at once (for a window thread that is busy).
void SetControlText(HWND control, const std::string& gbk, bool repaint = false);

}  // namespace winapp
