#include "options.h"

#include <asio.hpp>

#include <limits>
#include <stdexcept>

#include "command_line.h"

namespace {

// Coins and prizes stay far enough below 2^31 that a balance plus a prize is easy to
// check before it is formed.
constexpr long long kMaxAmount = 1000000000;

// "0,5,10,20,50,100,200,500": exactly one number per sector, no spaces.
template <class T>
bool ParseEight(const std::string& text, std::array<T, kSectors>& out) {
  std::array<T, kSectors> values{};
  size_t start = 0;
  for (int i = 0; i < kSectors; ++i) {
    const size_t comma = text.find(',', start);
    const bool last = i == kSectors - 1;
    if (last != (comma == std::string::npos)) return false;
    const std::string item = text.substr(start, last ? std::string::npos : comma - start);
    if (!ParseNumber(item, values[static_cast<size_t>(i)], 0, kMaxAmount)) return false;
    start = comma + 1;
  }
  out = values;
  return true;
}

std::string Join(const Weights& w) {
  std::string s;
  for (size_t i = 0; i < w.size(); ++i) s += (i ? "," : "") + std::to_string(w[i]);
  return s;
}

std::string Join(const Prizes& p) {
  std::string s;
  for (size_t i = 0; i < p.size(); ++i) s += (i ? "," : "") + std::to_string(p[i]);
  return s;
}

}  // namespace

std::string Usage() {
  const WheelOptions d;
  std::string u;
  u += "Usage: wheel-server [options]\n\n";
  u += "The wheel game's server: players log in over UDP, spin for a stake and win the\n";
  u += "prize of the sector drawn; coins are kept in an SQLite database, and every spin\n";
  u += "is committed to it before its reply goes out.\n\n";
  u += "Options:\n";
  u += "  --listen ADDR                address to listen on (default " + d.listen + ")\n";
  u +=
      "  --port N                     UDP port (default " + std::to_string(d.port) + "; 0 = any free port)\n";
  u += "  --db FILE                    SQLite database, created if missing (default " + d.db + ")\n";
  u += "  --initial-coins N            coins of a new player (default " + std::to_string(d.initialCoins) +
       ")\n";
  u += "  --stake N                    coins one spin costs, at least 1 (default " + std::to_string(d.stake) +
       ")\n";
  u += "  --prizes P1,...,P8           prize of each sector (default " + Join(d.prizes) + ")\n";
  u += "  --weights W1,...,W8          relative chance of each sector, not all 0 (default\n";
  u += "                               " + Join(d.weights) + ")\n";
  u += "  --session-timeout-ms MS      end a session silent this long (default " +
       std::to_string(d.sessionTimeoutMs) + ")\n";
  u += "  --min-start-interval-ms MS   refuse a session's spin sooner than this after its\n";
  u += "                               last one (default " + std::to_string(d.minStartIntervalMs) + ")\n";
  u += "  --stats-interval SECONDS     log the counters this often, when they changed\n";
  u += "                               (default " + std::to_string(d.statsIntervalSec) +
       "; 0 = only when stopping)\n";
  u += "  -h, --help                   show this text\n\n";
  u += "Prizes and weights are " + std::to_string(kSectors) + " whole numbers from 0 to " +
       std::to_string(kMaxAmount) + ", comma-separated.\n";
  u += "Default prize table (stake " + std::to_string(d.stake) + "):\n";
  u += PrizeTable(d.prizes, d.weights).Describe(d.stake);
  u += "\nThe first line on stdout names the address, port and database in use; after it,\n";
  u += "one line per login, spin, refusal, logout and expiry. SIGINT or SIGTERM stop the\n";
  u += "server; it logs its counters and closes the database.\n";
  return u;
}

ParseOutcome ParseOptions(int argc, const char* const* argv, WheelOptions& out, std::string& error) {
  ArgReader args(argc, argv);
  while (args.Next()) {
    const std::string& arg = args.Name();
    const std::string& value = args.Value();
    auto next = [&] { return args.TakeValue(error); };
    // Each option's check; `what` completes "<option> needs ..." when it fails.
    auto fail = [&](const std::string& what) {
      if (error.empty()) error = arg + " needs " + what + ", not \"" + value + "\"";
      return ParseOutcome::kError;
    };
    if (arg == "-h" || arg == "--help") return ParseOutcome::kHelp;
    if (arg == "--listen") {
      if (!next()) return ParseOutcome::kError;
      asio::error_code ec;
      asio::ip::make_address(value, ec);
      if (ec) return fail("an IP address");
      out.listen = value;
    } else if (arg == "--port") {
      if (!next() || !ParseNumber(value, out.port, 0, 65535)) return fail("a number from 0 to 65535");
    } else if (arg == "--db") {
      if (!next()) return ParseOutcome::kError;
      if (value.empty()) return fail("a file name");
      out.db = value;
    } else if (arg == "--initial-coins") {
      if (!next() || !ParseNumber(value, out.initialCoins, 0, kMaxAmount))
        return fail("a number from 0 to " + std::to_string(kMaxAmount));
    } else if (arg == "--stake") {
      if (!next() || !ParseNumber(value, out.stake, 1, kMaxAmount))
        return fail("a number from 1 to " + std::to_string(kMaxAmount));
    } else if (arg == "--prizes") {
      if (!next() || !ParseEight(value, out.prizes))
        return fail(std::to_string(kSectors) + " comma-separated numbers from 0 to " +
                    std::to_string(kMaxAmount));
    } else if (arg == "--weights") {
      if (!next() || !ParseEight(value, out.weights))
        return fail(std::to_string(kSectors) + " comma-separated numbers from 0 to " +
                    std::to_string(kMaxAmount));
      uint64_t total = 0;
      for (uint32_t w : out.weights) total += w;
      if (total == 0) return fail("at least one weight above 0");
    } else if (arg == "--session-timeout-ms") {
      if (!next() || !ParseNumber(value, out.sessionTimeoutMs, 10, 86400000))
        return fail("a number of milliseconds from 10 to 86400000");
    } else if (arg == "--min-start-interval-ms") {
      if (!next() || !ParseNumber(value, out.minStartIntervalMs, 0, 3600000))
        return fail("a number of milliseconds from 0 to 3600000");
    } else if (arg == "--stats-interval") {
      if (!next() || !ParseNumber(value, out.statsIntervalSec, 0, 86400))
        return fail("a number of seconds from 0 to 86400");
    } else {
      error = "unknown option " + args.Given();
      return ParseOutcome::kError;
    }
  }
  return ParseOutcome::kRun;
}
