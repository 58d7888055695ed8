// Every control is a real child window that carries its name as the window property
// "Name" (a global atom), so that test drivers and accessibility tools find it from
// outside the process.
#pragma once

#include <windows.h>

#include <string>

namespace winapp {

void SetControlName(HWND control, const std::wstring& name);
// The name a window carries, or empty.
std::wstring ControlName(HWND window);

}  // namespace winapp
