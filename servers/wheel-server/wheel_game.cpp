#include "wheel_game.h"

#include <iterator>
#include <limits>

#include "log.h"
#include "wire/uGyrelot_Struc.h"

namespace {

template <size_t N>
Outgoing Datagram(const Endpoint& to, const std::array<uint8_t, N>& bytes) {
  return Outgoing{to, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

const char* RefusalText(StartRefusal why) {
  switch (why) {
    case kNoSession: return "no such session";
    case kTooFewCoins: return "too few coins";
    case kTooFast: return "too soon after the last spin";
    case kStoreFailed: return "the database failed";
    case kBalanceLimit: return "the balance is at its limit";
    case kAccepted: break;
  }
  return "?";
}

std::string User(int32_t userId) {
  return "user " + std::to_string(userId);
}

long long Millis(Clock::duration d) {
  return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

}  // namespace

std::string GameCounters::Describe() const {
  std::string s = "received " + std::to_string(received) + ", logins " + std::to_string(logins) +
                  ", heartbeats " + std::to_string(heartbeats) + ", spins " + std::to_string(spins) +
                  ", logouts " + std::to_string(logouts) + ", expired " + std::to_string(expired) +
                  ", failed logins " + std::to_string(loginsFailed);
  s += "; refused starts: no session " + std::to_string(refused[kNoSession]) + ", too few coins " +
       std::to_string(refused[kTooFewCoins]) + ", too fast " + std::to_string(refused[kTooFast]) +
       ", database " + std::to_string(refused[kStoreFailed]) + ", balance limit " +
       std::to_string(refused[kBalanceLimit]);
  s += "; dropped: short " + std::to_string(dropShort) + ", oversized " + std::to_string(dropOversized) +
       ", bad size " + std::to_string(dropBadSize) + ", reply id " + std::to_string(dropReplyId) +
       ", unknown id " + std::to_string(dropUnknownId) + ", wrong session " +
       std::to_string(dropWrongSession);
  return s;
}

WheelGame::WheelGame(const GameSettings& settings, const PrizeTable& table, PlayerStore& store,
                     RandomSource& random, LogSink log)
    : settings_(settings), table_(table), store_(store), random_(random), log_(std::move(log)) {}

void WheelGame::Log(const std::string& text) const {
  if (log_) log_(text);
}

std::vector<Outgoing> WheelGame::Handle(const uint8_t* data, size_t len, const Endpoint& from,
                                        Clock::time_point now) {
  ++counters_.received;
  if (data == nullptr || len < 4) {
    ++counters_.dropShort;
    return {};
  }
  if (len > kLargestRecord) {
    ++counters_.dropOversized;
    return {};
  }
  const int32_t id = wheel::RecogniseRequest(data, len);
  if (id == 0) {
    switch (*wheel::PeekMsgId(data, len)) {
      case wheel::WHEEL_LOGIN:
      case wheel::WHEEL_LOGOUT:
      case wheel::WHEEL_HEARTBEAT:
      case wheel::WHEEL_START: ++counters_.dropBadSize; break;
      case wheel::WHEEL_LOGIN_REPLY:
      case wheel::WHEEL_START_REPLY:
      case wheel::WHEEL_RESULT: ++counters_.dropReplyId; break;
      default: ++counters_.dropUnknownId; break;
    }
    return {};
  }
  if (id == wheel::WHEEL_LOGIN) return Login(data, len, from, now);

  wheel::TWheelRequest r;
  wheel::Decode(data, len, r);  // RecogniseRequest has checked the id and the length
  if (id == wheel::WHEEL_START) return Start(r.UserId, r.SessionId, from, now);

  Session* s = Find(r.UserId, r.SessionId, from, now);
  if (s == nullptr) {
    // The client sends five logouts in a row; all but the first land here.
    ++counters_.dropWrongSession;
    return {};
  }
  if (id == wheel::WHEEL_HEARTBEAT) {
    ++counters_.heartbeats;
  } else {
    ++counters_.logouts;
    Log("logout " + User(r.UserId) + " " + s->display + ", coins " + std::to_string(s->coins) + ", online " +
        std::to_string(sessions_.size() - 1));
    sessions_.erase(r.UserId);
  }
  return {};
}

std::vector<Outgoing> WheelGame::Login(const uint8_t* data, size_t len, const Endpoint& from,
                                       Clock::time_point now) {
  wheel::TWheelLoginRequest req;
  wheel::Decode(data, len, req);
  const std::string name = wheel::LoginName(req);
  Expire(now);  // so that the online count is exact

  wheel::TWheelLoginReply reply;
  reply.UserId = req.UserId;
  reply.Stake = settings_.stake;
  PlayerRecord player;
  try {
    player = store_.Login(req.UserId, name, settings_.initialCoins);
  } catch (const StoreError& e) {
    ++counters_.loginsFailed;
    Log("login " + User(req.UserId) + " " + DisplayName(name) + " from " + DisplayEndpoint(from) +
        " refused: " + e.what());
    reply.OnlineCount = static_cast<int32_t>(sessions_.size());
    reply.ResultCode = kStoreFailed;
    return {Datagram(from, wheel::Encode(reply))};
  }

  Session next;
  next.name = name;
  next.display = DisplayName(name);
  next.coins = player.coins;
  next.peer = from;
  next.lastSeen = now;
  const auto old = sessions_.find(req.UserId);
  const bool replaced = old != sessions_.end();
  if (replaced) {
    // A new login must not reset the spin interval, or logging in again would skip it.
    next.lastStart = old->second.lastStart;
  }
  next.sessionId = NewSessionId(replaced ? old->second.sessionId : 0);
  sessions_[req.UserId] = next;
  ++counters_.logins;

  reply.SessionId = next.sessionId;
  reply.Coins = next.coins;
  reply.OnlineCount = static_cast<int32_t>(sessions_.size());
  Log("login " + User(req.UserId) + " " + next.display + " from " + DisplayEndpoint(from) + ": coins " +
      std::to_string(next.coins) + ", online " + std::to_string(sessions_.size()) +
      (replaced ? ", earlier session replaced" : ""));
  return {Datagram(from, wheel::Encode(reply))};
}

std::vector<Outgoing> WheelGame::Start(int32_t userId, int32_t sessionId, const Endpoint& from,
                                       Clock::time_point now) {
  Session* s = Find(userId, sessionId, from, now);
  if (s == nullptr) return Refuse(from, kNoSession, 0, userId);
  if (s->lastStart && now - *s->lastStart < settings_.minStartInterval)
    return Refuse(from, kTooFast, s->coins, userId);
  if (s->coins < settings_.stake) return Refuse(from, kTooFewCoins, s->coins, userId);
  const int64_t highest = int64_t{s->coins} - settings_.stake + table_.MaxPrize();
  if (highest > std::numeric_limits<int32_t>::max()) return Refuse(from, kBalanceLimit, s->coins, userId);

  const int sector = table_.Draw(random_);
  const int32_t prize = table_.Prize(sector);
  const int32_t balance = s->coins - settings_.stake + prize;
  try {
    // Durable before anyone hears of it: a reply the player saw is never undone.
    store_.SaveCoins(userId, balance);
  } catch (const StoreError& e) {
    Log(std::string("spin of ") + User(userId) + " not saved: " + e.what());
    return Refuse(from, kStoreFailed, s->coins, userId);
  }
  s->coins = balance;
  s->lastStart = now;
  ++counters_.spins;
  Log("spin " + User(userId) + " " + s->display + ": sector " + std::to_string(sector) + ", prize " +
      std::to_string(prize) + ", balance " + std::to_string(balance));

  wheel::TWheelStartReply reply;
  reply.Sector = sector;
  reply.Prize = prize;
  reply.Balance = balance;
  std::vector<Outgoing> out;
  out.reserve(1 + sessions_.size());
  out.push_back(Datagram(from, wheel::Encode(reply)));
  // Expire leaves the spinner (seen just now); the pointer stays valid in the map.
  const auto result = wheel::Encode(wheel::MakeResult(userId, s->name, prize));
  Expire(now);
  for (const auto& [id, other] : sessions_) out.push_back(Datagram(other.peer, result));
  return out;
}

WheelGame::Session* WheelGame::Find(int32_t userId, int32_t sessionId, const Endpoint& from,
                                    Clock::time_point now) {
  const auto it = sessions_.find(userId);
  if (it == sessions_.end() || it->second.sessionId != sessionId) return nullptr;
  if (now - it->second.lastSeen >= settings_.sessionTimeout) {
    EndExpired(it);
    return nullptr;
  }
  it->second.lastSeen = now;
  it->second.peer = from;
  return &it->second;
}

size_t WheelGame::Expire(Clock::time_point now) {
  size_t ended = 0;
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    const auto next = std::next(it);
    if (now - it->second.lastSeen >= settings_.sessionTimeout) {
      EndExpired(it);
      ++ended;
    }
    it = next;
  }
  return ended;
}

void WheelGame::EndExpired(std::map<int32_t, Session>::iterator it) {
  ++counters_.expired;
  Log("expired " + User(it->first) + " " + it->second.display + ": no request for " +
      std::to_string(Millis(settings_.sessionTimeout)) + " ms, coins " + std::to_string(it->second.coins) +
      ", online " + std::to_string(sessions_.size() - 1));
  sessions_.erase(it);
}

int32_t WheelGame::NewSessionId(int32_t old) {
  for (;;) {
    const auto id = static_cast<int32_t>(static_cast<uint32_t>(random_.Next64()));
    // 0 is what a client sends before it has a session; the old id must stop working.
    if (id != 0 && id != old) return id;
  }
}

std::vector<Outgoing> WheelGame::Refuse(const Endpoint& to, StartRefusal why, int32_t balance,
                                        int32_t userId) {
  ++counters_.refused[why];
  Log("refused start " + User(userId) + " from " + DisplayEndpoint(to) + ": " + RefusalText(why));
  wheel::TWheelStartReply reply;
  reply.Balance = balance;
  reply.ResultCode = why;
  return {Datagram(to, wheel::Encode(reply))};
}
