#include "control_name.h"

namespace winapp {

void SetControlName(HWND control, const std::wstring& name) {
  const ATOM atom = GlobalAddAtomW(name.c_str());
  SetPropW(control, L"Name", reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

std::wstring ControlName(HWND window) {
  const ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, L"Name")));
  if (!atom) return {};
  wchar_t name[256] = {};
  const UINT n = GlobalGetAtomNameW(atom, name, 256);
  return std::wstring(name, n);
}

}  // namespace winapp
