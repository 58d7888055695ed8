#include "usFunction.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "win/gbk_text.h"

const TsFunction sFunction{};

namespace {
std::mutex titleLock;
std::string applicationTitle = "Gyrelot";
}  // namespace

void SetApplicationTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(titleLock);
  applicationTitle = title;
}

std::string GetApplicationTitle() {
  std::lock_guard<std::mutex> lock(titleLock);
  return applicationTitle;
}

std::wstring FolderOfModulePath(const std::wstring& path) {
  // Cut in UTF-16, where a backslash is always a backslash: in GBK bytes the trail
  // byte of a character such as "乗" is 0x5C too.
  const size_t cut = path.find_last_of(L"\\:");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::string TsFunction::GetAppPath() const {
  // Long paths need a bigger buffer than MAX_PATH.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return gbk::FromWide(FolderOfModulePath(std::wstring(buf.data(), n)));
    buf.resize(buf.size() * 2);
  }
}

void TsFunction::ShowMsg(const std::string& text) const {
  const std::wstring body = gbk::ToWide(text);
  const std::wstring caption = gbk::ToWide(GetApplicationTitle());
  MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
