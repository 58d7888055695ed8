#include "server_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

void LogLine(const std::string& text) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const int ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
  std::printf("%s.%03dZ %s\n", stamp, ms, text.c_str());
  std::fflush(stdout);
}

std::string EscapeForLog(const std::string& bytes, bool keepHigh, bool escapeBackslash) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    const bool plain = c >= 0x20 && c < 0x7F && c != '"' && !(escapeBackslash && c == '\\');
    if (plain || (keepHigh && c >= 0x80)) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}
