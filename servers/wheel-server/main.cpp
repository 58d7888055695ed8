// wheel-server: the wheel game's server, over UDP, with the players in SQLite.
#include <asio.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "log.h"
#include "options.h"
#include "player_store.h"
#include "prize_table.h"
#include "random_source.h"
#include "server.h"
#include "wheel_game.h"

int main(int argc, char** argv) {
  WheelOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case ParseOutcome::kHelp: std::cout << Usage(); return 0;
    case ParseOutcome::kError: std::cerr << "wheel-server: " << error << "\n\n" << Usage(); return 2;
    case ParseOutcome::kRun: break;
  }
  try {
    const PrizeTable table(options.prizes, options.weights);
    SqlitePlayerStore store(options.db);
    SystemRandom random;
    GameSettings settings;
    settings.initialCoins = options.initialCoins;
    settings.stake = options.stake;
    settings.sessionTimeout = std::chrono::milliseconds(options.sessionTimeoutMs);
    settings.minStartInterval = std::chrono::milliseconds(options.minStartIntervalMs);
    WheelGame game(settings, table, store, random, LogLine);

    asio::io_context io;
    // Caught before the first line appears: whoever reads it may stop the server at once.
    asio::signal_set signals(io, SIGINT, SIGTERM);
    WheelServer server(io, options, game);
    const std::string where =
        DisplayEndpoint(asio::ip::udp::endpoint(asio::ip::make_address(options.listen), server.Port()));
    std::printf("wheel-server: listening on %s (db %s)\n", where.c_str(), options.db.c_str());
    std::fflush(stdout);
    char summary[256];
    std::snprintf(
        summary, sizeof summary,
        "stake %d, new players get %d coins, expected prize %.4f (a return of %.2f%%), session timeout %u ms",
        options.stake, options.initialCoins, table.ExpectedPrize(),
        100.0 * table.ExpectedPrize() / options.stake, options.sessionTimeoutMs);
    LogLine(summary);
    signals.async_wait([&](const asio::error_code& ec, int sig) {
      if (ec) return;
      LogLine(std::string("stopping on ") + (sig == SIGINT ? "SIGINT" : "SIGTERM"));
      server.Stop();
    });
    io.run();
    LogLine("counters: " + server.CountersLine());
    LogLine("stopped");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wheel-server: %s\n", e.what());
    return 1;
  }
}
