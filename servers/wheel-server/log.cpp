#include "log.h"

#include "host/gbk_iconv.h"

std::string DisplayName(const std::string& gbk) {
  std::string utf8;
  if (host::GbkToUtf8(gbk, utf8)) return "\"" + EscapeForLog(utf8, true, true) + "\"";
  // The login record cuts names by bytes, so a name may end in half a character.
  if (gbk.size() > 1 && host::GbkToUtf8(gbk.substr(0, gbk.size() - 1), utf8))
    return "\"" + EscapeForLog(utf8, true, true) + EscapeForLog(gbk.substr(gbk.size() - 1), false, true) +
           "\"";
  return "\"" + EscapeForLog(gbk, false, true) + "\"";
}

std::string DisplayEndpoint(const asio::ip::udp::endpoint& e) {
  const std::string address = e.address().to_string();
  return (e.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(e.port());
}
