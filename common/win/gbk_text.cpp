#include "gbk_text.h"

#include <windows.h>

#include <climits>

namespace gbk {

std::wstring ToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int len = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(kCodePage, 0, text.data(), len, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCodePage, 0, text.data(), len, out.data(), n);
  return out;
}

std::string FromWide(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int len = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(kCodePage, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCodePage, 0, text.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace gbk
