#include "gbk_text.h"

#include <windows.h>

#include <climits>

namespace {

std::wstring ToWideIn(unsigned codePage, std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int len = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), len, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), len, out.data(), n);
  return out;
}

std::string FromWideIn(unsigned codePage, std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int len = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(codePage, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

namespace gbk {
std::wstring ToWide(std::string_view text) {
  return ToWideIn(kCodePage, text);
}
std::string FromWide(std::wstring_view text) {
  return FromWideIn(kCodePage, text);
}
}  // namespace gbk

namespace utf8 {
std::wstring ToWide(std::string_view text) {
  return ToWideIn(CP_UTF8, text);
}
std::string FromWide(std::wstring_view text) {
  return FromWideIn(CP_UTF8, text);
}
}  // namespace utf8
