#include "options.h"

#include <asio.hpp>

#include <charconv>
#include <cstring>
#include <limits>

namespace {

template <class T>
bool ParseNumber(const std::string& text, T& out, T min, T max) {
  unsigned long long v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end || v < static_cast<unsigned long long>(min) ||
      v > static_cast<unsigned long long>(max))
    return false;
  out = static_cast<T>(v);
  return true;
}

}  // namespace

std::string Usage() {
  const ServerOptions d;
  std::string u;
  u += "Usage: update-server --root DIR [options]\n\n";
  u += "Serves the files of one folder to the updater over TCP: each file by its\n";
  u += "path relative to the folder, in GBK with backslashes, in blocks of 880 bytes.\n\n";
  u += "Options:\n";
  u += "  --root DIR              the folder to serve (required; read-only)\n";
  u += "  --listen ADDR           address to listen on (default " + d.listen + ")\n";
  u += "  --port N                port (default " + std::to_string(d.port) + "; 0 = any free port)\n";
  u += "  --max-frame BYTES       largest message a client may send (default " + std::to_string(d.maxFrame) +
       ")\n";
  u += "  --idle-timeout SECONDS  close a connection silent this long (default " +
       std::to_string(d.idleTimeoutSec) + ")\n";
  u += "  --max-connections N     connections at once; more are closed at once (default " +
       std::to_string(d.maxConnections) + ")\n";
  u += "  -h, --help              show this text\n\n";
  u += "The first line on stdout names the address and port in use; after it, one\n";
  u += "line per transfer: peer, file, bytes sent and outcome. SIGINT or SIGTERM stop\n";
  u += "the server.\n";
  return u;
}

ParseOutcome ParseOptions(int argc, const char* const* argv, ServerOptions& out, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool haveValue = false;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      haveValue = true;
    }
    auto next = [&]() -> bool {
      if (haveValue) return true;
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    if (arg == "-h" || arg == "--help") return ParseOutcome::kHelp;
    if (arg == "--root") {
      if (!next()) return ParseOutcome::kError;
      out.root = value;
    } else if (arg == "--listen") {
      if (!next()) return ParseOutcome::kError;
      asio::error_code ec;
      asio::ip::make_address(value, ec);
      if (ec) {
        error = "--listen needs an IP address, not \"" + value + "\"";
        return ParseOutcome::kError;
      }
      out.listen = value;
    } else if (arg == "--port") {
      if (!next() || !ParseNumber<uint16_t>(value, out.port, 0, 65535)) {
        if (error.empty()) error = "--port needs a number from 0 to 65535";
        return ParseOutcome::kError;
      }
    } else if (arg == "--max-frame") {
      if (!next() || !ParseNumber<size_t>(value, out.maxFrame, 102, 1 << 20)) {
        if (error.empty()) error = "--max-frame needs a number from 102 to 1048576";
        return ParseOutcome::kError;
      }
    } else if (arg == "--idle-timeout") {
      if (!next() || !ParseNumber<unsigned>(value, out.idleTimeoutSec, 1, 86400)) {
        if (error.empty()) error = "--idle-timeout needs a number of seconds from 1 to 86400";
        return ParseOutcome::kError;
      }
    } else if (arg == "--max-connections") {
      if (!next() || !ParseNumber<size_t>(value, out.maxConnections, 1, 1000000)) {
        if (error.empty()) error = "--max-connections needs a number from 1 to 1000000";
        return ParseOutcome::kError;
      }
    } else {
      error = "unknown option " + std::string(argv[i]);
      return ParseOutcome::kError;
    }
  }
  if (out.root.empty()) {
    error = "--root DIR is required";
    return ParseOutcome::kError;
  }
  return ParseOutcome::kRun;
}
