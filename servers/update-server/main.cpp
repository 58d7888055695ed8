// update-server: serves one published folder to the updater over TCP.
#include <asio.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "log.h"
#include "options.h"
#include "server.h"

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
    asio::io_context io;
    Server server(io, options);
    std::printf("update-server: serving %s on %s:%u\n", server.Resolver().Root().c_str(), options.listen.c_str(),
                static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    asio::signal_set signals(io, SIGINT, SIGTERM);
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
