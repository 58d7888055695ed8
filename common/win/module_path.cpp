#include "module_path.h"

#include <windows.h>

#include <vector>

#include "gbk_text.h"

namespace winapp {

std::wstring ModuleFileName() {
  // Long paths need a bigger buffer than MAX_PATH.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::wstring();
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::wstring FolderOfModulePath(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\:");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::string ProgramFolder() {
  return gbk::FromWide(FolderOfModulePath(ModuleFileName()));
}

std::wstring ProgramName() {
  std::wstring name = ModuleFileName();
  name.erase(0, FolderOfModulePath(name).size());
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

}  // namespace winapp
