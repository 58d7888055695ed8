// The wheel game's rules: what a request does and what goes back to whom. No socket
// and no clock of its own: each call gets the datagram, its sender and the time, and
// returns the datagrams to send, so tests drive it directly.
//
//   login      -> login reply to the sender (new session, replacing the player's old one)
//   heartbeat  -> nothing; the session lives on
//   start      -> start reply to the sender; when accepted, a result to every session
//   logout     -> nothing; the session ends
//   other      -> nothing; counted by reason
#pragma once

#include <asio/ip/udp.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "player_store.h"
#include "prize_table.h"
#include "random_source.h"

using Clock = std::chrono::steady_clock;
using Endpoint = asio::ip::udp::endpoint;

// TWheelStartReply.ResultCode (and TWheelLoginReply's, for kStoreFailed).
enum StartRefusal : uint8_t {
  kAccepted = 0,
  kNoSession = 1,     // unknown user, wrong or expired session id
  kTooFewCoins = 2,   // coins below the stake
  kTooFast = 3,       // sooner than the minimum interval after the session's last spin
  kStoreFailed = 4,   // the database did not take the change: nothing was spent
  kBalanceLimit = 5,  // the biggest prize would take the balance past what the wire holds
};

struct GameSettings {
  int32_t initialCoins = 1000;
  int32_t stake = 10;
  std::chrono::milliseconds sessionTimeout{35000};
  std::chrono::milliseconds minStartInterval{600};
};

struct Outgoing {
  Endpoint to;
  std::vector<uint8_t> bytes;
};

struct GameCounters {
  uint64_t received = 0;
  uint64_t logins = 0;
  uint64_t heartbeats = 0;
  uint64_t spins = 0;
  uint64_t logouts = 0;
  uint64_t expired = 0;
  uint64_t loginsFailed = 0;  // the database failed during a login
  uint64_t refused[6] = {};   // starts, by StartRefusal (index 0 unused)
  // Dropped without an answer:
  uint64_t dropShort = 0;         // under 4 bytes: no message id
  uint64_t dropOversized = 0;     // longer than any record
  uint64_t dropBadSize = 0;       // a request id with the wrong length
  uint64_t dropReplyId = 0;       // an id the server sends, not receives
  uint64_t dropUnknownId = 0;     // an id of no message
  uint64_t dropWrongSession = 0;  // heartbeat or logout not of a live session

  // One line for the log: "received 12, logins 2, ...".
  std::string Describe() const;
};

class WheelGame {
 public:
  using LogSink = std::function<void(const std::string&)>;

  // `store`, `table` and `random` must outlive the game. `log` gets one line per
  // login, spin, refusal, logout and expiry.
  WheelGame(const GameSettings& settings, const PrizeTable& table, PlayerStore& store, RandomSource& random,
            LogSink log);

  // One received datagram; what to send in answer, in order.
  std::vector<Outgoing> Handle(const uint8_t* data, size_t len, const Endpoint& from, Clock::time_point now);

  // Ends every session with no valid request for the session timeout; returns how many.
  size_t Expire(Clock::time_point now);

  size_t OnlineCount() const { return sessions_.size(); }
  const GameCounters& Counters() const { return counters_; }

  // Longer than any record: longer datagrams are dropped as oversized.
  static constexpr size_t kLargestRecord = 32;

 private:
  struct Session {
    int32_t sessionId = 0;
    std::string name;     // GBK bytes, for the result broadcasts
    std::string display;  // the name as the log shows it
    int32_t coins = 0;    // as stored: every change is written through
    Endpoint peer;
    Clock::time_point lastSeen;
    std::optional<Clock::time_point> lastStart;
  };

  std::vector<Outgoing> Login(const uint8_t* data, size_t len, const Endpoint& from, Clock::time_point now);
  std::vector<Outgoing> Start(int32_t userId, int32_t sessionId, const Endpoint& from, Clock::time_point now);
  // The live session that `userId` and `sessionId` name, its peer and time updated;
  // null when there is none. A session found past its timeout ends here.
  Session* Find(int32_t userId, int32_t sessionId, const Endpoint& from, Clock::time_point now);
  void EndExpired(std::map<int32_t, Session>::iterator it);
  int32_t NewSessionId(int32_t old);
  std::vector<Outgoing> Refuse(const Endpoint& to, StartRefusal why, int32_t balance, int32_t userId);
  void Log(const std::string& text) const;

  GameSettings settings_;
  const PrizeTable& table_;
  PlayerStore& store_;
  RandomSource& random_;
  LogSink log_;
  std::map<int32_t, Session> sessions_;  // by UserId: one session per player
  GameCounters counters_;
};
