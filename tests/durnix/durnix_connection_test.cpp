// The client's connection against a peer in this program: messages both ways, the
// framing, and how a connection ends.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "test_peer.h"

TEST(DurnixConnection, MessagesGoBothWaysWholeByAddressOrByName) {
  const std::vector<size_t> lengths = {1, 12, 102, 888, 65536};
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect(host));

    std::vector<Bytes> sent;
    for (size_t len : lengths) {
      sent.push_back(Pattern(len));
      ASSERT_TRUE(s.peer.WriteFrame(sent.back()));
    }
    ASSERT_TRUE(s.recorder.WaitMessages(lengths.size()));
    EXPECT_EQ(s.recorder.Messages(), sent);

    for (size_t len : lengths) {
      const Bytes message = Pattern(len, 3);
      EXPECT_TRUE(s.client->Send(message.data(), static_cast<int32_t>(len))) << len;
      Bytes wire;
      ASSERT_TRUE(s.peer.ReadExactly(frame::kHeaderSize + len, wire)) << len;
      EXPECT_EQ(wire, Framed(message)) << len;
    }
    EXPECT_TRUE(s.peer.Quiet(50));
    EXPECT_EQ(s.recorder.Disconnects(), 0u);
  }
}

TEST(DurnixConnection, MessagesComeWholeHoweverThePeerWritesThem) {
  const Bytes a = Pattern(1), b = Pattern(12), c = Pattern(888);
  const Bytes cFrame = Framed(c);
  const struct Case {
    const char* what;
    std::vector<Bytes> writes;  // with a pause after each
    std::vector<Bytes> messages;
  } cases[] = {
      {"several frames in one write", {Cat({Framed(a), Framed(b), Framed(c)})}, {a, b, c}},
      {"a frame byte by byte",
       [&] {
         std::vector<Bytes> bytes;
         for (uint8_t byte : Framed(b)) bytes.push_back({byte});
         return bytes;
       }(),
       {b}},
      {"a frame and a half, then the rest",
       {Cat({Framed(a), Bytes(cFrame.begin(), cFrame.begin() + 400)}),
        Bytes(cFrame.begin() + 400, cFrame.end())},
       {a, c}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect());
    s.peer.NoDelay();
    for (size_t i = 0; i < k.writes.size(); ++i) {
      ASSERT_TRUE(s.peer.Write(k.writes[i]));
      Sleep(2);
      if (i + 1 < k.writes.size()) {
        // Nothing comes out before its frame is complete.
        EXPECT_LT(s.recorder.Messages().size(), k.messages.size());
      }
    }
    ASSERT_TRUE(s.recorder.WaitMessages(k.messages.size()));
    EXPECT_EQ(s.recorder.Messages(), k.messages);
  }
}

TEST(DurnixConnection, PeerCloseEndsTheConnectionAfterTheLastMessageAndItCanBeMadeAgain) {
  const struct Case {
    const char* what;
    bool reset;
  } cases[] = {{"orderly close", false}, {"reset", true}};
  const std::vector<Bytes> messages = {Pattern(1), Pattern(102), Pattern(888)};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect());
    ASSERT_TRUE(s.peer.Write(Cat({Framed(messages[0]), Framed(messages[1]), Framed(messages[2])})));
    if (c.reset) {
      // A reset may throw away what the client has not read yet: let it read first.
      ASSERT_TRUE(s.recorder.WaitMessages(messages.size()));
      s.peer.Abort();
    } else {
      s.peer.Close();
    }
    ASSERT_TRUE(s.recorder.WaitDisconnect());
    EXPECT_FALSE(s.client->IsConnected());
    EXPECT_FALSE(s.client->GetActive());
    // An orderly close is no error. (Wine reports a reset as an orderly close too, so
    // the reset's error is not checked here.)
    if (!c.reset) {
      EXPECT_EQ(s.client->GetLastSocketError(), 0);
    }
    const Bytes late = Pattern(4);
    EXPECT_FALSE(s.client->Send(late.data(), 4));
    Sleep(50);
    const auto events = s.recorder.Events();
    ASSERT_EQ(events.size(), messages.size() + 1);
    for (size_t i = 0; i < messages.size(); ++i) {
      EXPECT_FALSE(events[i].disconnect) << i;
      EXPECT_EQ(events[i].message, messages[i]) << i;
    }
    EXPECT_TRUE(events.back().disconnect);

    // The updater makes a dropped connection again this way.
    s.client->SetActive(TRUE);
    s.peer = s.listener.Accept();
    ASSERT_TRUE(s.peer);
    ASSERT_TRUE(WaitUntil([&] { return s.client->IsConnected() != FALSE; }));
    EXPECT_EQ(s.client->GetLastSocketError(), 0);
    ASSERT_TRUE(s.peer.WriteFrame(Pattern(7)));
    ASSERT_TRUE(s.recorder.WaitMessages(messages.size() + 1));
    EXPECT_EQ(s.recorder.Messages().back(), Pattern(7));
    const Bytes reply = Pattern(9, 5);
    EXPECT_TRUE(s.client->Send(reply.data(), 9));
    Bytes got;
    ASSERT_TRUE(s.peer.ReadFrame(got));
    EXPECT_EQ(got, reply);
  }
}

TEST(DurnixConnection, AFrameTheLimitRefusesClosesTheConnection) {
  const struct Case {
    const char* what;
    uint32_t maxMessage;  // 0: the default
    Bytes stream;
    size_t delivered;
  } cases[] = {
      {"one byte over the limit", 1000, Framed(Pattern(1001)), 0},
      {"length zero", 0, Cat({{0, 0, 0, 0}, Framed(Pattern(5))}), 0},
      {"the largest length there is", 0, {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, 0},
      {"one at the limit, then one over", 1000, Cat({Framed(Pattern(1000)), Framed(Pattern(1001))}), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect("127.0.0.1", c.maxMessage));
    ASSERT_TRUE(s.peer.Write(c.stream));
    EXPECT_TRUE(s.peer.WaitClosed());
    ASSERT_TRUE(s.recorder.WaitDisconnect());
    EXPECT_FALSE(s.client->IsConnected());
    EXPECT_FALSE(s.client->GetActive());
    EXPECT_NE(s.client->GetLastSocketError(), 0);
    EXPECT_EQ(s.recorder.Messages().size(), c.delivered);
    EXPECT_EQ(s.recorder.Disconnects(), 1u);
  }
}

TEST(DurnixConnection, AConnectThatFailsLeavesTheClientUnconnected) {
  uint16_t closedPort = 0;
  {
    Listener gone;
    closedPort = gone.port();
  }
  const struct Case {
    const char* what;
    const char* host;
  } cases[] = {{"nothing listening", "127.0.0.1"}, {"no host set", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    ComPtr<IIOCPClient> client = NewClient();
    ASSERT_TRUE(client);
    recorder.Attach(client.get());
    client->SetHost(c.host);
    client->SetPort(closedPort);
    // Twice: a failed attempt leaves nothing behind that stops the next.
    for (int attempt = 0; attempt < 2; ++attempt) {
      client->SetActive(TRUE);
      bool everConnected = false;
      ASSERT_TRUE(WaitUntil([&] {
        everConnected = everConnected || client->IsConnected();
        return client->GetActive() == FALSE;
      }));
      EXPECT_FALSE(everConnected);
      EXPECT_FALSE(client->IsConnected());
      EXPECT_NE(client->GetLastSocketError(), 0);
      const Bytes message = Pattern(3);
      EXPECT_FALSE(client->Send(message.data(), 3));
    }
    // It never was a connection, so none ended.
    Sleep(20);
    EXPECT_EQ(recorder.Disconnects(), 0u);
  }
}

TEST(DurnixConnection, SendRefusesAMessageItCannotFrame) {
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Connect());
  const Bytes message = Pattern(6);
  // No bytes would make a length-0 frame, which a server takes for a broken peer.
  EXPECT_FALSE(s.client->Send(message.data(), 0));
  EXPECT_FALSE(s.client->Send(message.data(), -1));
  EXPECT_FALSE(s.client->Send(nullptr, 6));
  EXPECT_TRUE(s.peer.Quiet(50));
  EXPECT_TRUE(s.client->IsConnected());
  EXPECT_TRUE(s.client->Send(message.data(), 6));
  Bytes got;
  ASSERT_TRUE(s.peer.ReadFrame(got));
  EXPECT_EQ(got, message);
}

// Block requests are tiny and often come two at a time before the answer. Held back
// until the first is acknowledged, each round would wait for the peer's delayed
// acknowledgement (about 40 ms); sent at once, the rounds take a few milliseconds.
TEST(DurnixConnection, SmallMessagesSentBackToBackAreNotHeldBack) {
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Connect());
  constexpr int kRounds = 20;
  const Bytes one = {0x2A};
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_TRUE(s.client->Send(one.data(), 1));
    ASSERT_TRUE(s.client->Send(one.data(), 1));
    Bytes got;
    ASSERT_TRUE(s.peer.ReadFrame(got));
    ASSERT_TRUE(s.peer.ReadFrame(got));
    ASSERT_TRUE(s.peer.WriteFrame(one));
    ASSERT_TRUE(s.recorder.WaitMessages(static_cast<size_t>(round) + 1));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kRounds * 20));
}
