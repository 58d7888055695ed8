// update-server: serves one published folder to the updater over TCP.
#include <sys/resource.h>

#include <asio.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "options.h"
#include "server.h"
#include "server_log.h"

namespace {

// Every transfer holds two descriptors, its socket and its file; the usual soft limit
// of 1024 would run out well below --max-connections. Take what the hard limit allows.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case ParseOutcome::kHelp: std::cout << Usage(); return 0;
    case ParseOutcome::kError: std::cerr << "update-server: " << error << "\n\n" << Usage(); return 2;
    case ParseOutcome::kRun: break;
  }
  try {
    std::signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit();
    asio::io_context io;
    // Caught before the first line appears: whoever reads it may stop the server at once.
    asio::signal_set signals(io, SIGINT, SIGTERM);
    Server server(io, options);
    std::printf("update-server: serving %s on %s:%u\n", server.Resolver().Root().c_str(),
                options.listen.c_str(), static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    signals.async_wait([&](const asio::error_code& ec, int sig) {
      if (ec) return;
      LogLine(std::string("stopping on ") + (sig == SIGINT ? "SIGINT" : "SIGTERM"));
      server.Stop();
    });
    io.run();
    LogLine("stopped");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "update-server: %s\n", e.what());
    return 1;
  }
}
