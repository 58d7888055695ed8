// The wheel server's command line.
#pragma once

#include <cstdint>
#include <string>

#include "prize_table.h"

struct WheelOptions {
  std::string listen = "127.0.0.1";
  uint16_t port = 18001;  // 0: any free port
  std::string db = "wheel.db";
  int32_t initialCoins = 1000;  // a player's coins at the first login
  int32_t stake = kDefaultStake;
  Prizes prizes = kDefaultPrizes;
  Weights weights = kDefaultWeights;
  // The client sends a heartbeat every 10 s; three missed ones end the session.
  unsigned sessionTimeoutMs = 35000;
  // The client's wheel turns at least this long before it can stop, so a session
  // that starts more often than this is not a person playing.
  unsigned minStartIntervalMs = 600;
  unsigned statsIntervalSec = 60;  // 0: counters only when the server stops
};

enum class ParseOutcome { kRun, kHelp, kError };

ParseOutcome ParseOptions(int argc, const char* const* argv, WheelOptions& out, std::string& error);
// The usage text, with the default prize table and its return.
std::string Usage();
