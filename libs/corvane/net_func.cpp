#include <winsock2.h>
#include <ws2tcpip.h>

#include "net_func.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace corvane {

int32_t NetFunc::AddressToText(int32_t address, char* buffer, int32_t size) {
  const uint32_t a = static_cast<uint32_t>(address);
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xff, (a >> 16) & 0xff,
                              (a >> 8) & 0xff, a & 0xff);
  if (buffer != nullptr && size > 0) {
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t copied = static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room;
    std::memcpy(buffer, text, copied);
    buffer[copied] = '\0';
  }
  return n;
}

// "a.b.c.d": four octets of one to three decimal digits each, nothing around them.
BOOL NetFunc::TextToAddress(const char* text, int32_t* address) {
  if (text == nullptr || address == nullptr) return FALSE;
  std::string_view rest(text);
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (rest.empty() || rest.front() != '.') return FALSE;
      rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return FALSE;
    unsigned octet = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), octet);
    const size_t digits = static_cast<size_t>(end - rest.data());
    if (ec != std::errc() || digits > 3 || octet > 255) return FALSE;
    value = (value << 8) | octet;
    rest.remove_prefix(digits);
  }
  if (!rest.empty()) return FALSE;
  *address = static_cast<int32_t>(value);
  return TRUE;
}

BOOL NetFunc::ResolveHost(const char* host, int32_t* address) {
  if (host == nullptr || address == nullptr || *host == '\0' || winsock_.error() != 0) return FALSE;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return FALSE;
  const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  *address = static_cast<int32_t>(ntohl(in->sin_addr.s_addr));
  freeaddrinfo(found);
  return TRUE;
}

}  // namespace corvane
