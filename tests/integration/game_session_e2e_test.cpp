// The game session end to end: TGyrelotClient with the real Corvane.dll and
// Peltrix.dll under Wine, against the real wheel-server on 127.0.0.1 (started by
// with_wheel_server.sh, which passes its port in WHEEL_SERVER_PORT). The server runs
// with the coins, stake and short session expiry given in tests/integration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../win/pump_for.h"
#include "uGameMessages.h"
#include "uGyrelotClient.h"
#include "wire/uGyrelot_Struc.h"

namespace {

constexpr int32_t kLoopback = 2130706433;  // 127.0.0.1
// What tests/integration/CMakeLists.txt gives the server.
constexpr int32_t kInitialCoins = 500;
constexpr int32_t kStake = 25;
constexpr DWORD kSessionExpiryMs = 2000;
constexpr DWORD kReplyWaitMs = 5000;

uint16_t ServerPort() {
  char text[16] = {};
  if (GetEnvironmentVariableA("WHEEL_SERVER_PORT", text, sizeof text) == 0) return 0;
  return static_cast<uint16_t>(std::strtoul(text, nullptr, 10));
}

// One player: the session client and what arrived in its cache, as the game window
// takes it off (on this thread, which also serves the heartbeat timer).
class Player {
 public:
  Player(int32_t id, std::string name)
      : id_(id), name_(std::move(name)), client_(std::make_unique<TGyrelotClient>()) {}

  TGyrelotClient& client() { return *client_; }
  int32_t id() const { return id_; }
  const std::string& name() const { return name_; }

  // Logs in and waits for the reply; a successful one's session goes to the client.
  wheel::TWheelLoginReply Login() {
    client_->Login(id_, name_, kLoopback, ServerPort());
    wheel::TWheelLoginReply reply{};
    EXPECT_TRUE(AwaitFirst(logins_, reply)) << name_ << ": no login reply";
    if (reply.ResultCode == 0) client_->SetSessionId(reply.SessionId);
    return reply;
  }

  wheel::TWheelStartReply Start() {
    client_->RequestStart();
    wheel::TWheelStartReply reply{};
    EXPECT_TRUE(AwaitFirst(starts_, reply)) << name_ << ": no start reply";
    return reply;
  }

  // The first result broadcast of `userId` that has come or comes within the wait.
  bool AwaitResult(int32_t userId, wheel::TWheelResult& out) {
    return PumpUntil(
        [&] {
          Drain();
          for (const auto& r : results_) {
            if (r.UserId == userId) {
              out = r;
              return true;
            }
          }
          return false;
        },
        kReplyWaitMs);
  }

  // Ends the session as the window does: destroying the client sends the logouts.
  void Leave() { client_.reset(); }

 private:
  // Takes every packet off the cache through the dispatcher the window uses.
  void Drain() {
    TGameMessageHandlers handlers;
    handlers.LoginReply = [this](const wheel::TWheelLoginReply& r) { logins_.push_back(r); };
    handlers.StartReply = [this](const wheel::TWheelStartReply& r) { starts_.push_back(r); };
    handlers.Result = [this](const wheel::TWheelResult& r) { results_.push_back(r); };
    while (PollGameMessage(client_->Cache(), handlers)) {
    }
  }

  // The oldest reply of one kind that has come or comes within the wait.
  template <class Record>
  bool AwaitFirst(std::vector<Record>& received, Record& out) {
    return PumpUntil(
        [&] {
          Drain();
          if (received.empty()) return false;
          out = received.front();
          received.erase(received.begin());
          return true;
        },
        kReplyWaitMs);
  }

  int32_t id_;
  std::string name_;
  std::unique_ptr<TGyrelotClient> client_;
  std::vector<wheel::TWheelLoginReply> logins_;
  std::vector<wheel::TWheelStartReply> starts_;
  std::vector<wheel::TWheelResult> results_;
};

class GameSessionE2E : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(ServerPort(), 0) << "WHEEL_SERVER_PORT is not set: run through ctest"; }
};

}  // namespace

TEST_F(GameSessionE2E, LoginReplyCarriesTheConfiguredCoinsAndStake) {
  Player p(1001, "玩家一");
  const auto reply = p.Login();
  EXPECT_EQ(reply.ResultCode, 0);
  EXPECT_EQ(reply.UserId, 1001);
  EXPECT_NE(reply.SessionId, 0);
  EXPECT_EQ(reply.Coins, kInitialCoins);
  EXPECT_EQ(reply.Stake, kStake);
  EXPECT_GE(reply.OnlineCount, 1);
}

TEST_F(GameSessionE2E, AStartGivesAReplyAndAResultThatAnotherPlayerSeesToo) {
  Player spinner(2001, "转盘手");
  Player watcher(2002, "旁观者");
  ASSERT_EQ(spinner.Login().ResultCode, 0);
  ASSERT_EQ(watcher.Login().ResultCode, 0);

  const auto reply = spinner.Start();
  ASSERT_EQ(reply.ResultCode, 0);
  EXPECT_GE(reply.Sector, 1);
  EXPECT_LE(reply.Sector, 8);
  EXPECT_GE(reply.Prize, 0);
  EXPECT_EQ(reply.Balance, kInitialCoins - kStake + reply.Prize);

  wheel::TWheelResult own{}, seen{};
  ASSERT_TRUE(spinner.AwaitResult(2001, own)) << "the spinner gets the broadcast too";
  EXPECT_EQ(own.Prize, reply.Prize);
  EXPECT_EQ(wheel::ResultName(own), "转盘手");
  ASSERT_TRUE(watcher.AwaitResult(2001, seen)) << "another player sees the spin";
  EXPECT_EQ(seen.Prize, reply.Prize);
  EXPECT_EQ(wheel::ResultName(seen), "转盘手");

  // The balance is the player's: a new login finds it.
  spinner.Leave();
  Player again(2001, "转盘手");
  EXPECT_EQ(again.Login().Coins, reply.Balance);
}

TEST_F(GameSessionE2E, AStartWithAWrongSessionIsRefused) {
  Player p(3001, "p3001");
  const auto login = p.Login();
  ASSERT_EQ(login.ResultCode, 0);
  p.client().SetSessionId(login.SessionId ^ 0x5a5a5a5a);
  const auto reply = p.Start();
  EXPECT_NE(reply.ResultCode, 0);
}

TEST_F(GameSessionE2E, TheFiveLogoutsOfADestroyedClientLowerTheOnlineCount) {
  Player a(4001, "a");
  Player b(4002, "b");
  ASSERT_EQ(a.Login().ResultCode, 0);
  const auto withBoth = b.Login();
  ASSERT_EQ(withBoth.ResultCode, 0);
  a.Leave();
  PumpFor(300);  // the logouts are fire-and-forget; give them time to land
  Player c(4003, "c");
  const auto afterLeave = c.Login();
  // a left and c came: as many as before.
  EXPECT_EQ(afterLeave.OnlineCount, withBoth.OnlineCount);
}

TEST_F(GameSessionE2E, HeartbeatsKeepASessionAlivePastTheExpiry) {
  Player kept(5001, "kept");
  Player silent(5002, "silent");
  ASSERT_EQ(kept.Login().ResultCode, 0);
  ASSERT_EQ(silent.Login().ResultCode, 0);
  kept.client().Heartbeat().SetInterval(kSessionExpiryMs / 4);
  silent.client().Heartbeat().SetEnabled(false);

  PumpFor(kSessionExpiryMs * 2);  // heartbeats only go out while messages are served

  EXPECT_EQ(kept.Start().ResultCode, 0) << "heartbeats kept the session";
  EXPECT_NE(silent.Start().ResultCode, 0) << "without heartbeats the session ended";
}
