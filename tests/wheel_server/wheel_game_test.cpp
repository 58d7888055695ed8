// The game's rules, driven directly: datagrams in, datagrams out, with a clock and a
// random source the test controls and a real database in a temporary folder.
// String literals are GBK (names on the wire); the log's UTF-8 is written with u8"".
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <set>

#include "../portable/temp_dir.h"
#include "../portable/test_bytes.h"
#include "log.h"
#include "scripted_random.h"
#include "wheel_game.h"
#include "wire/byte_order.h"
#include "wire/uGyrelot_Struc.h"

using namespace std::chrono_literals;
using wheel::TWheelLoginReply;
using wheel::TWheelResult;
using wheel::TWheelStartReply;

namespace {

Endpoint Peer(uint16_t port) {
  return Endpoint(asio::ip::make_address("127.0.0.1"), port);
}

// A store that fails on demand, around the real one.
class FlakyStore : public PlayerStore {
 public:
  explicit FlakyStore(PlayerStore& inner) : inner_(inner) {}
  PlayerRecord Login(int32_t userId, const std::string& name, int32_t initialCoins) override {
    if (failing) throw StoreError("database test.db: disk I/O error");
    return inner_.Login(userId, name, initialCoins);
  }
  void SaveCoins(int32_t userId, int32_t coins) override {
    if (failing) throw StoreError("database test.db: disk I/O error");
    inner_.SaveCoins(userId, coins);
  }
  std::optional<int32_t> Coins(int32_t userId) override { return inner_.Coins(userId); }
  bool failing = false;

 private:
  PlayerStore& inner_;
};

class Game : public ::testing::Test {
 protected:
  void SetUp() override { Make(); }

  // A fresh game over the same database (a restarted server).
  void Make() {
    game = std::make_unique<WheelGame>(settings, table, flaky, random,
                                       [this](const std::string& line) { log.push_back(line); });
  }

  std::vector<Outgoing> Send(const Bytes& bytes, const Endpoint& from) {
    // An exact heap copy: the sanitizer sees any read past the datagram.
    const Bytes exact = ExactCopy(bytes, bytes.size());
    return game->Handle(exact.empty() ? nullptr : exact.data(), exact.size(), from, now);
  }

  TWheelLoginReply Login(int32_t userId, const std::string& name, const Endpoint& from) {
    const auto out = Send(ToBytes(wheel::Encode(wheel::MakeLoginRequest(userId, name))), from);
    TWheelLoginReply reply;
    EXPECT_EQ(out.size(), 1u) << "one login reply";
    if (out.empty()) return reply;
    EXPECT_EQ(out[0].to, from);
    EXPECT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), reply));
    return reply;
  }

  std::vector<Outgoing> Request(int32_t msgId, int32_t userId, int32_t sessionId, const Endpoint& from) {
    return Send(ToBytes(wheel::Encode(wheel::MakeRequest(msgId, userId, sessionId))), from);
  }

  // A start whose reply must be the only datagram (a refusal).
  TWheelStartReply Refused(int32_t userId, int32_t sessionId, const Endpoint& from) {
    const auto out = Request(wheel::WHEEL_START, userId, sessionId, from);
    TWheelStartReply reply;
    EXPECT_EQ(out.size(), 1u) << "a refusal is one reply and no broadcast";
    if (out.empty()) return reply;
    EXPECT_EQ(out[0].to, from);
    EXPECT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), reply));
    EXPECT_NE(reply.ResultCode, 0);
    EXPECT_EQ(reply.Sector, 0);
    EXPECT_EQ(reply.Prize, 0);
    return reply;
  }

  bool Logged(const std::string& part) const {
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
  }

  TempDir dir;
  SqlitePlayerStore store{dir.File("wheel.db")};
  FlakyStore flaky{store};
  PrizeTable table{kDefaultPrizes, kDefaultWeights};
  ScriptedRandom random;
  GameSettings settings;
  std::vector<std::string> log;
  std::unique_ptr<WheelGame> game;
  Clock::time_point now = Clock::time_point{} + 1000h;
  const Endpoint a = Peer(5001), b = Peer(5002), c = Peer(5003);
};

TEST_F(Game, LoginCreatesThePlayerAndReportsStakeAndOnlineCount) {
  const auto first = Login(7, "玩家一", a);
  EXPECT_EQ(first.ResultCode, 0);
  EXPECT_EQ(first.UserId, 7);
  EXPECT_NE(first.SessionId, 0);
  EXPECT_EQ(first.Coins, 1000);
  EXPECT_EQ(first.Stake, 10);
  EXPECT_EQ(first.OnlineCount, 1);
  EXPECT_EQ(store.Coins(7), 1000);
  EXPECT_TRUE(Logged(u8"login user 7 \"玩家一\" from 127.0.0.1:5001: coins 1000, online 1"));

  const auto second = Login(8, "p8", b);
  EXPECT_EQ(second.OnlineCount, 2);
  EXPECT_NE(second.SessionId, first.SessionId);

  // Known players keep their coins: a new game over the same database (a restart)
  // and other settings.
  store.SaveCoins(7, 345);
  settings.initialCoins = 5;
  settings.stake = 25;
  Make();
  const auto again = Login(7, "玩家一", a);
  EXPECT_EQ(again.Coins, 345);
  EXPECT_EQ(again.Stake, 25);
  EXPECT_EQ(again.OnlineCount, 1);
  EXPECT_EQ(Login(9, "new", c).Coins, 5);
}

TEST_F(Game, SessionIdsAreNeverZeroNorTheOneReplaced) {
  random.queued = {0, 0x1111111100000000ull | 42u};
  const auto first = Login(1, "p", a);
  EXPECT_EQ(first.SessionId, 42) << "0 is skipped; the low 32 bits are the id";
  random.queued = {42, 0, 43};
  EXPECT_EQ(Login(1, "p", a).SessionId, 43) << "the old id and 0 are skipped";
  EXPECT_EQ(random.queued.size(), 0u);
}

TEST_F(Game, ALoginReplacesTheSessionAndTheOldIdIsRefused) {
  const int32_t oldId = Login(1, "p1", a).SessionId;
  const auto fresh = Login(1, "p1", b);  // the same player from elsewhere
  EXPECT_NE(fresh.SessionId, oldId);
  EXPECT_EQ(fresh.OnlineCount, 1) << "one session per player";
  EXPECT_TRUE(Logged("earlier session replaced"));

  EXPECT_EQ(Refused(1, oldId, a).ResultCode, kNoSession);
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 1, oldId, a).empty());
  EXPECT_TRUE(Request(wheel::WHEEL_LOGOUT, 1, oldId, a).empty());
  EXPECT_EQ(game->Counters().dropWrongSession, 2u);
  EXPECT_EQ(game->OnlineCount(), 1u) << "the old id's logout ended nothing";

  random.QueueSector(table, 3);
  const auto out = Request(wheel::WHEEL_START, 1, fresh.SessionId, b);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].to, b);
  TWheelStartReply reply;
  ASSERT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), reply));
  EXPECT_EQ(reply.ResultCode, 0);
}

TEST_F(Game, AnAcceptedStartRepliesThenTellsEveryLiveSession) {
  const int32_t s1 = Login(1, "转盘手", a).SessionId;
  const int32_t s2 = Login(2, "p2", b).SessionId;
  Login(3, "p3", c);
  // Player 2 now sends from another port: the broadcast follows it.
  const Endpoint b2 = Peer(6002);
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 2, s2, b2).empty());

  random.QueueSector(table, 4);  // prize 20
  const auto out = Request(wheel::WHEEL_START, 1, s1, a);
  ASSERT_EQ(out.size(), 4u) << "the reply and a result for each of the three sessions";
  EXPECT_EQ(out[0].to, a);
  TWheelStartReply reply;
  ASSERT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), reply));
  EXPECT_EQ(reply.ResultCode, 0);
  EXPECT_EQ(reply.Sector, 4);
  EXPECT_EQ(reply.Prize, 20);
  EXPECT_EQ(reply.Balance, 1000 - 10 + 20);
  EXPECT_EQ(store.Coins(1), 1010) << "saved before the reply went out";

  std::set<uint16_t> ports;
  for (size_t i = 1; i < out.size(); ++i) {
    TWheelResult result;
    ASSERT_TRUE(wheel::Decode(out[i].bytes.data(), out[i].bytes.size(), result));
    EXPECT_EQ(result.UserId, 1);
    EXPECT_EQ(wheel::ResultName(result), "转盘手");
    EXPECT_EQ(result.Prize, 20);
    ports.insert(out[i].to.port());
  }
  EXPECT_EQ(ports, (std::set<uint16_t>{5001, 6002, 5003}));
  EXPECT_TRUE(Logged(u8"spin user 1 \"转盘手\": sector 4, prize 20, balance 1010"));

  // The next spin starts from the new balance.
  now += 600ms;
  random.QueueSector(table, 1);  // prize 0
  const auto next = Request(wheel::WHEEL_START, 1, s1, a);
  ASSERT_FALSE(next.empty());
  ASSERT_TRUE(wheel::Decode(next[0].bytes.data(), next[0].bytes.size(), reply));
  EXPECT_EQ(reply.Balance, 1000);
  EXPECT_EQ(game->Counters().spins, 2u);
}

TEST_F(Game, StartNeedsCoinsForTheStakeAndRoomForThePrize) {
  struct Case {
    const char* what;
    int32_t coins;
    uint8_t code;
    int32_t balance;
  } cases[] = {
      {"coins equal to the stake", 10, kAccepted, 0},
      {"one coin short", 9, kTooFewCoins, 9},
      {"no coins", 0, kTooFewCoins, 0},
      {"the biggest prize would pass 2^31-1", INT_MAX - 400, kBalanceLimit, INT_MAX - 400},
      {"the biggest prize just fits", INT_MAX - 490, kAccepted, INT_MAX - 500},
  };
  int32_t userId = 100;
  for (const auto& k : cases) {
    settings.initialCoins = k.coins;
    Make();
    const int32_t session = Login(++userId, "p", a).SessionId;
    random.QueueSector(table, 1);  // prize 0
    const auto out = Request(wheel::WHEEL_START, userId, session, a);
    ASSERT_FALSE(out.empty()) << k.what;
    TWheelStartReply reply;
    ASSERT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), reply)) << k.what;
    EXPECT_EQ(reply.ResultCode, k.code) << k.what;
    EXPECT_EQ(reply.Balance, k.balance) << k.what;
    EXPECT_EQ(out.size(), k.code == kAccepted ? 2u : 1u) << k.what << ": a broadcast only for a spin";
    EXPECT_EQ(store.Coins(userId), k.balance) << k.what;
  }
}

TEST_F(Game, AStartSoonerThanTheIntervalIsRefused) {
  int32_t session = Login(1, "p", a).SessionId;
  ASSERT_EQ(Request(wheel::WHEEL_START, 1, session, a).size(), 2u);
  const int32_t balance = *store.Coins(1);

  now += 599ms;
  const auto fast = Refused(1, session, a);
  EXPECT_EQ(fast.ResultCode, kTooFast);
  EXPECT_EQ(fast.Balance, balance);
  EXPECT_TRUE(Logged("refused start user 1 from 127.0.0.1:5001: too soon after the last spin"));

  // Counted from the last accepted spin, not from the refused one.
  now += 1ms;
  ASSERT_EQ(Request(wheel::WHEEL_START, 1, session, a).size(), 2u);

  // Logging in again does not reset the interval.
  now += 100ms;
  session = Login(1, "p", a).SessionId;
  EXPECT_EQ(Refused(1, session, a).ResultCode, kTooFast);
  now += 500ms;
  EXPECT_EQ(Request(wheel::WHEEL_START, 1, session, a).size(), 2u);
  EXPECT_EQ(game->Counters().refused[kTooFast], 2u);
}

TEST_F(Game, FiveLogoutsEndOneSessionAndNothingElse) {
  const int32_t s1 = Login(1, "p1", a).SessionId;
  const int32_t s2 = Login(2, "p2", b).SessionId;
  ASSERT_NE(s1, s2);
  // Player 1's session id under player 2's user id, and a wrong id for player 2.
  EXPECT_TRUE(Request(wheel::WHEEL_LOGOUT, 2, s1, a).empty());
  EXPECT_TRUE(Request(wheel::WHEEL_LOGOUT, 2, s2 ^ 1, a).empty());
  EXPECT_EQ(game->OnlineCount(), 2u);

  for (int i = 0; i < 5; ++i) EXPECT_TRUE(Request(wheel::WHEEL_LOGOUT, 1, s1, a).empty());
  EXPECT_EQ(game->OnlineCount(), 1u);
  EXPECT_EQ(game->Counters().logouts, 1u);
  EXPECT_EQ(game->Counters().dropWrongSession, 6u);
  EXPECT_TRUE(Logged("logout user 1 \"p1\", coins 1000, online 1"));

  EXPECT_EQ(Refused(1, s1, a).ResultCode, kNoSession);
  EXPECT_EQ(Request(wheel::WHEEL_START, 2, s2, b).size(), 2u) << "player 2 plays on, and alone";
  EXPECT_EQ(Login(3, "p3", c).OnlineCount, 2);
}

TEST_F(Game, SilentSessionsExpireAndHeartbeatsKeepThemAlive) {
  const int32_t kept = Login(1, "kept", a).SessionId;
  const int32_t silent = Login(2, "silent", b).SessionId;
  const int32_t lazy = Login(3, "lazy", c).SessionId;
  const auto start = now;

  now = start + 20s;
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 1, kept, a).empty());
  now = start + 35s - 1ms;
  EXPECT_EQ(game->Expire(now), 0u);
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 3, lazy, c).empty()) << "still in time";
  now = start + 35s;
  EXPECT_EQ(game->Expire(now), 1u) << "35 s without a request";
  EXPECT_TRUE(Logged("expired user 2 \"silent\": no request for 35000 ms, coins 1000, online 2"));
  EXPECT_EQ(game->OnlineCount(), 2u);
  EXPECT_EQ(game->Counters().heartbeats, 2u);

  now = start + 50s;
  EXPECT_EQ(Request(wheel::WHEEL_START, 1, kept, a).size(), 3u) << "alive: reply and two results";
  EXPECT_EQ(Refused(2, silent, b).ResultCode, kNoSession);
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 2, silent, b).empty());

  // A session past its time ends on its next request too, before the timer sees it.
  now = start + 35s - 1ms + 35s;
  EXPECT_TRUE(Request(wheel::WHEEL_HEARTBEAT, 3, lazy, c).empty());
  EXPECT_EQ(game->Counters().expired, 2u);
  EXPECT_EQ(game->OnlineCount(), 1u);
}

TEST_F(Game, AFailingDatabaseRefusesWithoutSpendingOrBroadcasting) {
  const int32_t s1 = Login(1, "p1", a).SessionId;
  Login(2, "p2", b);
  flaky.failing = true;
  const auto refused = Refused(1, s1, a);
  EXPECT_EQ(refused.ResultCode, kStoreFailed);
  EXPECT_EQ(refused.Balance, 1000);
  EXPECT_TRUE(Logged("spin of user 1 not saved: database test.db: disk I/O error"));

  const auto out = Send(ToBytes(wheel::Encode(wheel::MakeLoginRequest(3, "p3"))), c);
  ASSERT_EQ(out.size(), 1u);
  TWheelLoginReply login;
  ASSERT_TRUE(wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), login));
  EXPECT_EQ(login.ResultCode, kStoreFailed);
  EXPECT_EQ(login.SessionId, 0);
  EXPECT_EQ(game->OnlineCount(), 2u) << "no session without a stored player";

  flaky.failing = false;
  random.QueueSector(table, 1);  // prize 0
  const auto spin = Request(wheel::WHEEL_START, 1, s1, a);
  ASSERT_FALSE(spin.empty());
  TWheelStartReply reply;
  ASSERT_TRUE(wheel::Decode(spin[0].bytes.data(), spin[0].bytes.size(), reply));
  EXPECT_EQ(reply.Balance, 990) << "the failed spin cost nothing and did not start the interval";
}

// Every malformed or stray datagram: no answer, one count under its reason, and the
// live session untouched.
TEST_F(Game, MalformedDatagramsAreDroppedAndCounted) {
  const int32_t session = Login(1, "p", a).SessionId;
  const auto request = [&](int32_t id, int32_t user, int32_t sid) {
    return ToBytes(wheel::Encode(wheel::MakeRequest(id, user, sid)));
  };
  const auto resize = [](Bytes b, size_t n) {
    b.resize(n, 0);
    return b;
  };
  const Bytes start = request(wheel::WHEEL_START, 1, session);
  const Bytes login = ToBytes(wheel::Encode(wheel::MakeLoginRequest(2, "x")));
  using Counter = uint64_t GameCounters::*;
  struct Case {
    const char* what;
    Bytes bytes;
    Counter counter;
  } cases[] = {
      {"empty", {}, &GameCounters::dropShort},
      {"3 bytes", {0x9F, 0x75, 0}, &GameCounters::dropShort},
      {"start of 11 bytes", resize(start, 11), &GameCounters::dropBadSize},
      {"start of 13 bytes", resize(start, 13), &GameCounters::dropBadSize},
      {"heartbeat of 11 bytes", resize(request(wheel::WHEEL_HEARTBEAT, 1, session), 11),
       &GameCounters::dropBadSize},
      {"logout of 13 bytes", resize(request(wheel::WHEEL_LOGOUT, 1, session), 13),
       &GameCounters::dropBadSize},
      {"start of 28 bytes", resize(start, 28), &GameCounters::dropBadSize},
      {"login of 27 bytes", resize(login, 27), &GameCounters::dropBadSize},
      {"login of 29 bytes", resize(login, 29), &GameCounters::dropBadSize},
      {"login of 12 bytes", resize(login, 12), &GameCounters::dropBadSize},
      {"unknown id", request(12345, 1, session), &GameCounters::dropUnknownId},
      {"id 0, 4 bytes", {0, 0, 0, 0}, &GameCounters::dropUnknownId},
      {"login reply sent to the server", ToBytes(wheel::Encode(TWheelLoginReply{})),
       &GameCounters::dropReplyId},
      {"start reply sent to the server", ToBytes(wheel::Encode(TWheelStartReply{})),
       &GameCounters::dropReplyId},
      {"result sent to the server", ToBytes(wheel::Encode(wheel::MakeResult(1, "p", 5))),
       &GameCounters::dropReplyId},
      {"33 bytes", resize(start, 33), &GameCounters::dropOversized},
      {"65507 bytes", resize(login, 65507), &GameCounters::dropOversized},
      {"heartbeat, wrong session", request(wheel::WHEEL_HEARTBEAT, 1, session + 1),
       &GameCounters::dropWrongSession},
      {"heartbeat, session 0", request(wheel::WHEEL_HEARTBEAT, 1, 0), &GameCounters::dropWrongSession},
      {"heartbeat, wrong user", request(wheel::WHEEL_HEARTBEAT, 2, session), &GameCounters::dropWrongSession},
      {"logout, wrong session", request(wheel::WHEEL_LOGOUT, 1, -session), &GameCounters::dropWrongSession},
      {"logout, wrong user", request(wheel::WHEEL_LOGOUT, 2, session), &GameCounters::dropWrongSession},
  };
  const Counter all[] = {
      &GameCounters::dropShort,   &GameCounters::dropOversized, &GameCounters::dropBadSize,
      &GameCounters::dropReplyId, &GameCounters::dropUnknownId, &GameCounters::dropWrongSession,
      &GameCounters::logins,      &GameCounters::heartbeats,    &GameCounters::spins,
      &GameCounters::logouts,     &GameCounters::expired};
  for (const auto& k : cases) {
    const GameCounters before = game->Counters();
    EXPECT_TRUE(Send(k.bytes, a).empty()) << k.what;
    const GameCounters& after = game->Counters();
    EXPECT_EQ(after.received, before.received + 1) << k.what;
    for (Counter counter : all)
      EXPECT_EQ(after.*counter, before.*counter + (counter == k.counter ? 1 : 0)) << k.what;
  }
  EXPECT_EQ(game->OnlineCount(), 1u);
  EXPECT_EQ(store.Coins(1), 1000);
  EXPECT_EQ(Request(wheel::WHEEL_START, 1, session, a).size(), 2u) << "the session still works";
}

// Whatever arrives: never more than one answer, except the broadcasts of a spin, and
// every answer a well-formed reply. The sanitizers watch the reads.
TEST_F(Game, RandomDatagramsGetAtMostOneReplyEach) {
  settings.minStartInterval = 0ms;
  Make();
  std::mt19937 gen(7);
  const int32_t ids[] = {
      wheel::WHEEL_LOGIN,       wheel::WHEEL_LOGOUT,      wheel::WHEEL_HEARTBEAT, wheel::WHEEL_START,
      wheel::WHEEL_LOGIN_REPLY, wheel::WHEEL_START_REPLY, wheel::WHEEL_RESULT,    0};
  std::map<int32_t, int32_t> sessions;  // what the login replies handed out
  uint64_t accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    now += 5ms;
    const int32_t id = ids[gen() % 8];
    const size_t size = gen() % 4 == 0 ? gen() % 40 : (id == 0 ? 12 : wheel::RecordSize(id));
    Bytes bytes(size);
    for (auto& x : bytes) x = static_cast<uint8_t>(gen());
    const int32_t user = static_cast<int32_t>(gen() % 6);
    const int32_t session = gen() % 8 == 0 ? static_cast<int32_t>(gen()) : sessions[user];
    if (size >= 4) wire::PutI32(&bytes[0], id);
    if (size >= 8) wire::PutI32(&bytes[4], user);
    if (size >= 12 && id != wheel::WHEEL_LOGIN) wire::PutI32(&bytes[8], session);
    if (size == 28 && id == wheel::WHEEL_LOGIN) bytes[8] = static_cast<uint8_t>(gen() % 17);

    const auto out = Send(bytes, Peer(static_cast<uint16_t>(7000 + user)));
    if (out.empty()) continue;
    const int32_t first = wheel::RecogniseReply(out[0].bytes.data(), out[0].bytes.size());
    ASSERT_NE(first, 0) << "datagram " << i;
    TWheelStartReply start;
    if (first == wheel::WHEEL_START_REPLY && wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), start) &&
        start.ResultCode == 0) {
      ++accepted;
      ASSERT_EQ(out.size(), 1 + game->OnlineCount()) << "datagram " << i;
      for (size_t k = 1; k < out.size(); ++k)
        EXPECT_EQ(wheel::RecogniseReply(out[k].bytes.data(), out[k].bytes.size()), wheel::WHEEL_RESULT);
    } else {
      ASSERT_EQ(out.size(), 1u) << "datagram " << i;
    }
    TWheelLoginReply login;
    if (first == wheel::WHEEL_LOGIN_REPLY && wheel::Decode(out[0].bytes.data(), out[0].bytes.size(), login))
      sessions[login.UserId] = login.SessionId;
  }
  EXPECT_EQ(game->Counters().received, 3000u);
  EXPECT_EQ(game->Counters().spins, accepted);
  EXPECT_GT(accepted, 0u) << "the mix reached the accepted path too";
}

TEST(WheelLog, NamesAreShownAsOneQuotedField) {
  struct Case {
    std::string gbk, shown;
  } cases[] = {
      {"abc", "\"abc\""},
      {"玩家一", u8"\"玩家一\""},
      {"a\nb\"c\\", "\"a\\x0ab\\x22c\\x5c\""},
      {std::string("玩家", 3), u8"\"玩\\xbc\""},  // cut inside the second character
      {std::string("\x81\x20\x81", 3), "\"\\x81 \\x81\""},
      {"", "\"\""},
  };
  for (const auto& k : cases) EXPECT_EQ(DisplayName(k.gbk), k.shown) << k.shown;
}

}  // namespace
