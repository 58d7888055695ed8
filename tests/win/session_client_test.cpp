// The game session against stand-in transport objects: what goes out when, byte by
// byte, and how received packets reach the cache.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "fake_udp_client.h"
#include "pump_for.h"
#include "uGyrelotClient.h"
#include "wire/uGyrelot_Struc.h"

namespace {

constexpr int32_t kServer = 2130706433;  // 127.0.0.1
constexpr uint16_t kGamePort = 18001;

int32_t Int32At(const std::vector<uint8_t>& b, size_t offset) {
  int32_t v = 0;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}

// The 12-byte request with this id, user and session, as the server will read it.
std::vector<uint8_t> Request(int32_t id, int32_t user, int32_t session) {
  std::vector<uint8_t> b(12);
  std::memcpy(b.data(), &id, 4);
  std::memcpy(b.data() + 4, &user, 4);
  std::memcpy(b.data() + 8, &session, 4);
  return b;
}

class SessionClient : public ::testing::Test {
 protected:
  void SetUp() override {
    TransportLog().clear();
    NextUdp() = &udp;
    NextCache() = &cache;
    client = std::make_unique<TGyrelotClient>(FakeTransport());
  }

  FakeUdp udp;
  LoggingCache cache;
  std::unique_ptr<TGyrelotClient> client;
};

}  // namespace

TEST_F(SessionClient, ConstructionSetsUpTheTransportInOrderAndSendsNothing) {
  const std::vector<std::string> expected = {"cache created", "cache Init(1024)", "udp created",
                                             "udp SetOnReceive", "udp SetActive(true)"};
  EXPECT_EQ(TransportLog(), expected);
  EXPECT_EQ(udp.context, client.get());
  EXPECT_TRUE(udp.sent.empty());
  EXPECT_FALSE(client->Heartbeat().Running()) << "no timer runs before Login";
  EXPECT_EQ(client->Heartbeat().Interval(), 10000u);
  PumpFor(100);
  EXPECT_TRUE(udp.sent.empty());
}

TEST_F(SessionClient, LoginSendsTheRequestBytesAndStartsTheHeartbeat) {
  // 20 bytes of name: the field holds the first 16.
  client->Login(4711, "ABCDEFGHIJKLMNOPQRST", kServer, kGamePort);
  ASSERT_EQ(udp.sent.size(), 1u);
  const SentDatagram& d = udp.sent[0];
  EXPECT_EQ(d.address, kServer);
  EXPECT_EQ(d.port, kGamePort);
  EXPECT_EQ(d.waitMs, 100);
  std::vector<uint8_t> expected(28, 0);
  const int32_t id = 30101, user = 4711;
  std::memcpy(expected.data(), &id, 4);
  std::memcpy(expected.data() + 4, &user, 4);
  expected[8] = 16;
  std::memcpy(expected.data() + 9, "ABCDEFGHIJKLMNOP", 16);
  EXPECT_EQ(d.bytes, expected);
  EXPECT_TRUE(client->Heartbeat().Running());
  EXPECT_EQ(client->Heartbeat().Interval(), 10000u) << "first heartbeat 10 s after the login";
}

TEST_F(SessionClient, HeartbeatsCarrySessionZeroUntilTheWindowWritesOne) {
  client->Login(7, "p", kServer, kGamePort);
  client->Heartbeat().SetInterval(30);  // the test's period, not the game's
  ASSERT_TRUE(PumpUntil([&] { return udp.sent.size() >= 3; }, 3000));
  for (size_t i = 1; i < udp.sent.size(); ++i) {
    EXPECT_EQ(udp.sent[i].bytes, Request(30104, 7, 0)) << "heartbeat " << i;
  }
  client->SetSessionId(-123456789);
  const size_t before = udp.sent.size();
  ASSERT_TRUE(PumpUntil([&] { return udp.sent.size() >= before + 2; }, 3000));
  EXPECT_EQ(udp.sent.back().bytes, Request(30104, 7, -123456789));
}

TEST_F(SessionClient, StartAndLogoutRequestsAndTheHeartbeatStopsAtLogout) {
  client->Login(99, "p", kServer, kGamePort);
  client->SetSessionId(555);
  client->RequestStart();
  client->Logout();
  ASSERT_EQ(udp.sent.size(), 3u);
  EXPECT_EQ(udp.sent[1].bytes, Request(30111, 99, 555));
  EXPECT_EQ(udp.sent[2].bytes, Request(30103, 99, 555));
  EXPECT_FALSE(client->Heartbeat().Running());
}

TEST_F(SessionClient, DestructionSendsFiveLogoutsThenReleasesUdpThenCache) {
  client->Login(12, "p", kServer, kGamePort);
  client->SetSessionId(31337);
  TransportLog().clear();
  client.reset();
  ASSERT_EQ(udp.sent.size(), 6u);
  for (size_t i = 1; i < 6; ++i) {
    EXPECT_EQ(udp.sent[i].bytes.size(), 12u);
    EXPECT_EQ(udp.sent[i].bytes, Request(30103, 12, 31337)) << "logout " << i;
    EXPECT_EQ(udp.sent[i].address, kServer);
  }
  const std::vector<std::string> expected = {"udp SetActive(false)", "udp SetOnReceive", "udp released",
                                             "cache released"};
  EXPECT_EQ(TransportLog(), expected);
  // The UDP client lives on in the test: it has nothing left to call into.
  EXPECT_EQ(udp.handler, nullptr);
  EXPECT_EQ(udp.context, nullptr);
  EXPECT_FALSE(udp.active);
}

TEST_F(SessionClient, DestructionWithoutLoginSendsFiveLogoutsWithSessionZero) {
  client.reset();
  ASSERT_EQ(udp.sent.size(), 5u);
  for (const auto& d : udp.sent) EXPECT_EQ(d.bytes, Request(30103, 0, 0));
}

TEST_F(SessionClient, ReceivedPacketsGoIntoTheCacheUntouchedAndInOrder) {
  const auto reply = wheel::Encode(wheel::TWheelStartReply{wheel::WHEEL_START_REPLY, 0, 3, 50, 1040, 0, {}});
  const std::vector<uint8_t> first(reply.begin(), reply.end());
  const std::vector<uint8_t> junk = {1, 2, 3};  // not for the session to judge
  udp.Receive(kServer, kGamePort, first);
  udp.Receive(0x0a000001, 4242, junk);

  IsSendCache* c = client->Cache();
  ASSERT_EQ(c->Count(), 2);
  const TSendCacheEntry* e = nullptr;
  ASSERT_TRUE(c->Peek(&e));
  EXPECT_EQ(e->Kind, 1);
  EXPECT_EQ(e->Address, kServer);
  EXPECT_EQ(e->Port, kGamePort);
  ASSERT_EQ(e->Length, 24);
  EXPECT_EQ(std::vector<uint8_t>(e->Data, e->Data + e->Length), first);
  EXPECT_EQ(Int32At(first, 8), 3);
  c->Pop();
  ASSERT_TRUE(c->Peek(&e));
  EXPECT_EQ(e->Address, 0x0a000001);
  EXPECT_EQ(std::vector<uint8_t>(e->Data, e->Data + e->Length), junk);
  c->Pop();
  EXPECT_TRUE(udp.sent.empty()) << "receiving sends nothing";
}
