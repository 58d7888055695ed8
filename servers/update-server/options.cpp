#include "options.h"

#include <asio.hpp>

#include "command_line.h"

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
  ArgReader args(argc, argv);
  while (args.Next()) {
    const std::string& arg = args.Name();
    const std::string& value = args.Value();
    auto next = [&] { return args.TakeValue(error); };
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
      if (!next() || !ParseNumber(value, out.port, 0, 65535)) {
        if (error.empty()) error = "--port needs a number from 0 to 65535";
        return ParseOutcome::kError;
      }
    } else if (arg == "--max-frame") {
      if (!next() || !ParseNumber(value, out.maxFrame, 102, 1 << 20)) {
        if (error.empty()) error = "--max-frame needs a number from 102 to 1048576";
        return ParseOutcome::kError;
      }
    } else if (arg == "--idle-timeout") {
      if (!next() || !ParseNumber(value, out.idleTimeoutSec, 1, 86400)) {
        if (error.empty()) error = "--idle-timeout needs a number of seconds from 1 to 86400";
        return ParseOutcome::kError;
      }
    } else if (arg == "--max-connections") {
      if (!next() || !ParseNumber(value, out.maxConnections, 1, 1000000)) {
        if (error.empty()) error = "--max-connections needs a number from 1 to 1000000";
        return ParseOutcome::kError;
      }
    } else {
      error = "unknown option " + args.Given();
      return ParseOutcome::kError;
    }
  }
  if (out.root.empty()) {
    error = "--root DIR is required";
    return ParseOutcome::kError;
  }
  return ParseOutcome::kRun;
}
