// The update server's command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ServerOptions {
  std::string root;  // the folder served, read-only
  std::string listen = "127.0.0.1";
  uint16_t port = 6001;          // 0: any free port
  size_t maxFrame = 256;         // largest client message; the largest real one is 102
  unsigned idleTimeoutSec = 60;  // a connection silent for this long is closed
  size_t maxConnections = 1024;
};

enum class ParseOutcome { kRun, kHelp, kError };

ParseOutcome ParseOptions(int argc, const char* const* argv, ServerOptions& out, std::string& error);
std::string Usage();
