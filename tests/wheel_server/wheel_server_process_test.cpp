// The real wheel-server program on 127.0.0.1: its first line, its timer, its stop,
// and what a kill -9 in the middle of a stream of spins leaves in the database.
#include <poll.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "../integration/child_process.h"
#include "../portable/temp_dir.h"
#include "player_store.h"
#include "prize_table.h"
#include "udp_client.h"
#include "wheel_game.h"
#include "wire/byte_order.h"

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// wheel-server started with --port 0 and the given database; the port from its first line.
class ServerProcess {
 public:
  ServerProcess(const std::string& db, std::vector<std::string> options)
      : child(Args(db, std::move(options))) {
    if (!child.WaitForLine("wheel-server: listening on ", firstLine, 10000)) return;
    std::smatch m;
    if (std::regex_match(firstLine, m,
                         std::regex(R"(wheel-server: listening on 127\.0\.0\.1:(\d+) \(db (.*)\))")) &&
        m[2] == db) {
      port = static_cast<uint16_t>(std::stoi(m[1]));
    }
  }

  // Reads the log until a line contains `part`; false after `timeoutMs`.
  bool WaitForLog(const std::string& part, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (!child.ReadLine(line, static_cast<int>(std::max<long long>(1, left.count())))) return false;
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

  ChildProcess child;
  std::string firstLine;
  uint16_t port = 0;

 private:
  static std::vector<std::string> Args(const std::string& db, std::vector<std::string> options) {
    std::vector<std::string> args = {WHEEL_SERVER_EXE, "--port", "0", "--db", db};
    args.insert(args.end(), options.begin(), options.end());
    return args;
  }
};

const std::string* FindLine(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& l : lines)
    if (l.find(part) != std::string::npos) return &l;
  return nullptr;
}

TEST(WheelServerProcess, AnswersOnlyWhatItShouldAndStopsCleanly) {
  TempDir dir;
  const std::string db = dir.File("wheel.db");
  ServerProcess server(db, {});
  ASSERT_NE(server.port, 0) << "first line: " << server.firstLine;
  UdpClient client(server.port);

  client.Send(Bytes{1, 2, 3});
  client.Send(Bytes(2000, 0x9F));  // longer than the server's buffer
  Bytes start(13, 0);
  wire::PutI32(start.data(), wheel::WHEEL_START);
  client.Send(start);
  // Handled in order: once the login is answered, the three before it were seen.
  const auto login = client.Login(42, "玩家");
  EXPECT_EQ(login.ResultCode, 0);
  EXPECT_EQ(login.Coins, 1000);
  EXPECT_EQ(login.Stake, 10);
  Bytes more;
  EXPECT_FALSE(client.Receive(more, 300)) << "an answer to a malformed datagram";

  server.child.Signal(SIGTERM);
  EXPECT_EQ(server.child.Wait(5000), 0);
  const auto& lines = server.child.Lines();
  const std::string* counters = FindLine(lines, " counters: received 4, logins 1,");
  ASSERT_NE(counters, nullptr);
  EXPECT_NE(
      counters->find("dropped: short 1, oversized 1, bad size 1, reply id 0, unknown id 0, wrong session 0"),
      std::string::npos)
      << *counters;
  EXPECT_NE(FindLine(lines, "stopping on SIGTERM"), nullptr);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(" stopped"), std::string::npos) << lines.back();

  SqlitePlayerStore store(db);
  EXPECT_EQ(store.Coins(42), 1000) << "the player is in the database after the stop";
}

TEST(WheelServerProcess, TheTimerEndsSilentSessions) {
  TempDir dir;
  ServerProcess server(dir.File("wheel.db"), {"--session-timeout-ms", "600"});
  ASSERT_NE(server.port, 0) << server.firstLine;
  UdpClient keptClient(server.port), silentClient(server.port);
  const auto kept = keptClient.Login(1, "kept");
  const auto silent = silentClient.Login(2, "silent");
  ASSERT_EQ(kept.ResultCode, 0);
  ASSERT_EQ(silent.ResultCode, 0);
  for (int i = 0; i < 12; ++i) {  // heartbeats far more often than needed: a slow machine has room
    keptClient.Send(wheel::Encode(wheel::MakeRequest(wheel::WHEEL_HEARTBEAT, 1, kept.SessionId)));
    std::this_thread::sleep_for(100ms);
  }
  // Nothing came from the silent player since its login: only the timer can end it.
  EXPECT_TRUE(server.WaitForLog("expired user 2 \"silent\": no request for 600 ms", 2000));
  EXPECT_EQ(keptClient.Start(1, kept.SessionId).ResultCode, kAccepted);
  EXPECT_EQ(silentClient.Start(2, silent.SessionId).ResultCode, kNoSession);
}

// Ten players spin as fast as the server answers; the server is killed with SIGKILL
// after 150 answers, with every player's next spin on its way, and started again on
// the same database. Each player has at most one spin unanswered, so its coins after
// the restart are provably either its last acknowledged balance or one spin more. The
// log line of a spin follows its commit and precedes its reply, which settles which.
TEST(WheelServerProcess, EveryAcknowledgedSpinSurvivesAKill) {
  TempDir dir;
  const std::string db = dir.File("wheel.db");
  const std::vector<std::string> options = {"--min-start-interval-ms", "0", "--initial-coins", "100000"};
  constexpr int kPlayers = 10;
  constexpr int kAnswersBeforeKill = 150;
  constexpr int32_t kStake = kDefaultStake;
  const std::set<int32_t> prizes(kDefaultPrizes.begin(), kDefaultPrizes.end());

  struct Player {
    int32_t id = 0;
    int32_t session = 0;
    int32_t lastAck = 0;
    int acked = 0;
    bool waiting = false;  // a start is out with no reply yet
    std::unique_ptr<UdpClient> client;
  };
  std::vector<Player> players(kPlayers);
  std::vector<std::string> log;
  {
    ServerProcess server(db, options);
    ASSERT_NE(server.port, 0) << server.firstLine;
    for (int i = 0; i < kPlayers; ++i) {
      Player& p = players[static_cast<size_t>(i)];
      p.id = 500 + i;
      p.client = std::make_unique<UdpClient>(server.port);
      const auto login = p.client->Login(p.id, "p" + std::to_string(p.id));
      ASSERT_EQ(login.ResultCode, 0);
      p.session = login.SessionId;
      p.lastAck = login.Coins;
    }
    const auto spin = [](Player& p) {
      p.client->Send(wheel::Encode(wheel::MakeRequest(wheel::WHEEL_START, p.id, p.session)));
      p.waiting = true;
    };
    // A start reply that arrived: the balance follows from the last one.
    const auto take = [&](Player& p, const Bytes& bytes) {
      wheel::TWheelStartReply reply;
      if (!wheel::Decode(bytes.data(), bytes.size(), reply)) return false;  // a result broadcast
      EXPECT_EQ(reply.ResultCode, 0) << p.id;
      EXPECT_TRUE(prizes.count(reply.Prize)) << reply.Prize;
      EXPECT_EQ(reply.Balance, p.lastAck - kStake + reply.Prize) << p.id;
      p.lastAck = reply.Balance;
      ++p.acked;
      p.waiting = false;
      return true;
    };
    for (auto& p : players) spin(p);
    int answers = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (answers < kAnswersBeforeKill) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << answers << " answers";
      std::vector<pollfd> fds;
      for (const auto& p : players) fds.push_back(pollfd{p.client->fd(), POLLIN, 0});
      ASSERT_GT(poll(fds.data(), fds.size(), 3000), 0) << "the server stopped answering after " << answers;
      for (size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        Bytes bytes;
        Player& p = players[i];
        while (p.client->Receive(bytes, 0)) {
          if (!take(p, bytes)) continue;
          ++answers;
          spin(p);  // at once: the kill finds the server busy with every player's next spin
        }
      }
    }
    server.child.Signal(SIGKILL);
    EXPECT_EQ(server.child.Wait(5000), -1) << "ended by the signal";
    // Replies the server sent before it died are acknowledged spins like any other.
    for (auto& p : players) {
      Bytes bytes;
      while (p.waiting && p.client->Receive(bytes, 100)) take(p, bytes);
    }
    log = server.child.Lines();
  }

  ServerProcess again(db, options);
  ASSERT_NE(again.port, 0) << again.firstLine;
  int unanswered = 0, unansweredLogged = 0;
  for (auto& p : players) {
    // The spins the log shows for this player, and the balance of the last one.
    const std::regex spinLine("spin user " + std::to_string(p.id) +
                              R"( "p\d+": sector \d, prize \d+, balance (\d+))");
    int logged = 0;
    int32_t lastLogged = 0;
    for (const auto& line : log) {
      std::smatch m;
      if (std::regex_search(line, m, spinLine)) {
        ++logged;
        lastLogged = std::stoi(m[1]);
      }
    }
    EXPECT_GE(logged, p.acked) << p.id << ": a reply without its log line";
    EXPECT_LE(logged, p.acked + 1) << p.id << ": more spins than were asked for";

    UdpClient client(again.port);
    const auto login = client.Login(p.id, "p" + std::to_string(p.id));
    ASSERT_EQ(login.ResultCode, 0);
    if (logged == p.acked + 1) {
      ++unanswered;
      ++unansweredLogged;
      EXPECT_EQ(login.Coins, lastLogged) << p.id << ": committed and logged, its reply lost with the server";
    } else if (!p.waiting) {
      EXPECT_EQ(login.Coins, p.lastAck) << p.id;
    } else {
      // Its spin may have been committed just before the kill, before its log line.
      bool oneMore = false;
      for (int32_t prize : prizes) oneMore = oneMore || login.Coins == p.lastAck - kStake + prize;
      EXPECT_TRUE(login.Coins == p.lastAck || oneMore)
          << p.id << ": " << login.Coins << " after " << p.lastAck;
      if (login.Coins != p.lastAck) ++unanswered;
    }
  }
  int acked = 0;
  for (const auto& p : players) acked += p.acked;
  EXPECT_GE(acked, kAnswersBeforeKill);
  std::printf(
      "%d spins acknowledged before the kill, all kept; %d committed without a reply (%d with its log "
      "line)\n",
      acked, unanswered, unansweredLogged);
}

TEST(WheelServerProcess, CommandLineAndStartFailures) {
  TempDir dir;
  {
    ChildProcess help({WHEEL_SERVER_EXE, "--help"});
    EXPECT_EQ(help.Wait(5000), 0);
    EXPECT_NE(FindLine(help.Lines(), "a return of 95.00%"), nullptr);
  }
  ServerProcess first(dir.File("a.db"), {});
  ASSERT_NE(first.port, 0);
  const struct {
    std::vector<std::string> args;
    int exit;
  } cases[] = {
      {{WHEEL_SERVER_EXE, "--port", "x"}, 2},
      {{WHEEL_SERVER_EXE, "--bogus"}, 2},
      {{WHEEL_SERVER_EXE, "--weights", "0,0,0,0,0,0,0,0"}, 2},
      {{WHEEL_SERVER_EXE, "--port", "0", "--db", dir.File("missing/wheel.db")}, 1},
      {{WHEEL_SERVER_EXE, "--port", std::to_string(first.port), "--db", dir.File("b.db")}, 1},  // port taken
  };
  for (const auto& k : cases) {
    ChildProcess p(k.args);
    EXPECT_EQ(p.Wait(5000), k.exit) << ::testing::PrintToString(k.args);
    EXPECT_TRUE(p.Lines().empty()) << "no listening line: " << p.Lines().front();
  }
}

}  // namespace
