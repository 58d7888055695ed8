#include "log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "host/gbk_iconv.h"

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

namespace {

// Control characters, the quote and the backslash become \xNN; bytes from 0x80 up
// are kept only when they are UTF-8 text.
std::string Escape(const std::string& bytes, bool keepHigh) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if ((c >= 0x20 && c < 0x7F && c != '"' && c != '\\') || (keepHigh && c >= 0x80)) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace

std::string DisplayName(const std::string& gbk) {
  std::string utf8;
  if (host::GbkToUtf8(gbk, utf8)) return "\"" + Escape(utf8, true) + "\"";
  // The login record cuts names by bytes, so a name may end in half a character.
  if (gbk.size() > 1 && host::GbkToUtf8(gbk.substr(0, gbk.size() - 1), utf8))
    return "\"" + Escape(utf8, true) + Escape(gbk.substr(gbk.size() - 1), false) + "\"";
  return "\"" + Escape(gbk, false) + "\"";
}

std::string DisplayEndpoint(const asio::ip::udp::endpoint& e) {
  const std::string address = e.address().to_string();
  return (e.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(e.port());
}
