#include "uUpdateLogic.h"

#include <cstdio>
#include <vector>

namespace updatelogic {

namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string DisplayName(const std::string& gbkName) {
  size_t start = 0;
  for (size_t i = 0; i < gbkName.size();) {
    const unsigned char c = static_cast<unsigned char>(gbkName[i]);
    if (IsGbkLead(c) && i + 1 < gbkName.size()) {
      i += 2;  // a double-byte character: its second byte is never a separator
      continue;
    }
    if (c == '\\' || c == ':') start = i + 1;
    ++i;
  }
  return gbkName.substr(start);
}

int32_t ProgressPercent(int32_t total, int32_t received) {
  if (total <= 0) return 0;
  const int64_t p = static_cast<int64_t>(received) * 100 / total;
  return static_cast<int32_t>(p < 0 ? 0 : (p > 100 ? 100 : p));
}

std::string SpeedText(int32_t total, int32_t received) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d K/%d K", received / 1000, total / 1000);
  return buf;
}

std::string TickText(uint32_t nowTick, uint32_t startTick) {
  const uint32_t elapsed = nowTick - startTick;
  return "已用时间：" + std::to_string(elapsed / 1000) + "秒";
}

std::string ManifestNameProblem(const std::string& gbkName) {
  if (gbkName.empty()) return "an empty name";
  // Split by characters, as the file functions read the name once it is converted:
  // the second byte of a GBK character is never a separator.
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < gbkName.size(); ++i) {
    const char c = gbkName[i];
    if (IsGbkLead(static_cast<unsigned char>(c)) && i + 1 < gbkName.size()) {
      parts.back() += gbkName.substr(i, 2);
      ++i;
    } else if (c == ':') {
      return "a drive letter or colon";
    } else if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  if (parts.front().empty()) return "a leading separator (absolute path)";
  for (const auto& p : parts) {
    if (p.empty()) return "an empty path part";
    if (p == ".." || p == ".") return "a \"" + p + "\" part";
  }
  return std::string();
}

bool DigestMatches(const std::string& fileMd5, const std::string& manifestMd5) {
  const std::string actual = fileMd5.empty() ? "d41d8cd98f00b204e9800998ecf8427e" : fileMd5;
  if (actual.size() != manifestMd5.size()) return false;
  for (size_t i = 0; i < actual.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(actual[i]) != lower(manifestMd5[i])) return false;
  }
  return true;
}

bool SameProgramName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace updatelogic
