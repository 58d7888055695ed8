#include "uUpdateLogic.h"

#include <cstdio>
#include <vector>

#include "uInstaller.h"
#include "uTxtTable.h"

namespace updatelogic {

namespace {

bool IsGbkLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char kEmptyDigest[] = "d41d8cd98f00b204e9800998ecf8427e";

bool IsDigest(const std::string& text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

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
    if (p.find_first_not_of('.') == std::string::npos) return "a part \"" + p + "\" made only of dots";
    if (p.back() == '.' || p.back() == ' ') return "a part ending in a dot or a blank";
  }
  if (parts.size() == 1) {
    for (const char* own : {"update.exe", "update.ini", "lastVer.txt", "temp.dat", install::kStagingFolder}) {
      if (SameProgramName(parts.front(), own)) return "the updater's own file " + std::string(own);
    }
  }
  return std::string();
}

std::string ManifestProblem(const TTxtTable& manifest) {
  if (manifest.FieldNames.size() < 3) return "a header of fewer than three columns";
  if (IsDigest(manifest.FieldNames[2])) return "a file row where the header belongs";
  for (const TTxtRecord& row : manifest.Records) {
    const std::string name = row.Values.size() > 1 ? row.Values[1] : std::string();
    const std::string digest = row.Values.size() > 2 ? row.Values[2] : std::string();
    if (name.empty()) {
      if (!digest.empty()) return "a file row without a name";
      continue;  // the installation folder itself
    }
    if (!digest.empty() && !IsDigest(digest)) return "the digest \"" + digest + "\" of " + name;
    const std::string problem = ManifestNameProblem(name);
    if (!problem.empty()) return name + ": " + problem;
  }
  return std::string();
}

bool DigestMatches(const std::optional<std::string>& fileMd5, const std::string& manifestMd5) {
  if (!fileMd5) return false;
  const std::string actual = fileMd5->empty() ? kEmptyDigest : *fileMd5;
  if (actual.size() != manifestMd5.size()) return false;
  for (size_t i = 0; i < actual.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(actual[i]) != lower(manifestMd5[i])) return false;
  }
  return true;
}

std::string DownloadFailureText(int32_t failure) {
  // The values of TDownloadFailure (uFileTrans_Intf.h).
  static const char* const kTexts[] = {
      "没有错误", "无法连接服务器", "服务器上没有此文件", "连接中断", "速度过慢", "文件过大",
      "写入失败", "已取消",         "数据错误",           "超时",
  };
  if (failure < 0 || failure >= static_cast<int32_t>(sizeof kTexts / sizeof kTexts[0])) return "未知错误";
  return kTexts[failure];
}

bool SameProgramName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace updatelogic
