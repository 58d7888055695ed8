// The client used from several threads at once and from inside its own handlers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "test_peer.h"

namespace {

// The message thread `t` sends as its `seq`-th: who and which first, then a body
// whose length and bytes vary with both. Up to 24 KiB, so that frames no longer go
// out in one piece once the socket's buffer is full.
Bytes ThreadMessage(uint8_t t, uint32_t seq) {
  Bytes m = {t, static_cast<uint8_t>(seq), static_cast<uint8_t>(seq >> 8), static_cast<uint8_t>(seq >> 16),
             static_cast<uint8_t>(seq >> 24)};
  const Bytes body = Pattern((seq * 997 + t * 131) % (24 * 1024), t);
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

// Counts handler calls, and those still running or starting after the call that
// stopped the client returned. Each call takes a moment, so that one caught running
// shows.
struct Counter {
  std::atomic<int> calls{0};
  std::atomic<bool> stopped{false};
  std::atomic<int> late{0};

  static void __stdcall OnReceive(void* context, const uint8_t*, int32_t) {
    auto* self = static_cast<Counter*>(context);
    if (self->stopped) ++self->late;
    Sleep(1);
    if (self->stopped) ++self->late;
    ++self->calls;
  }
  static void __stdcall OnDisconnect(void* context) {
    auto* self = static_cast<Counter*>(context);
    if (self->stopped) ++self->late;
  }
};

}  // namespace

TEST(DurnixThreads, FourThreadsSendingAtOnceLeaveEveryFrameIntact) {
  constexpr int kThreads = 4;
  constexpr uint32_t kEach = 200;
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Connect());

  std::atomic<bool> go{false};
  std::atomic<int> refused{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (uint32_t seq = 0; seq < kEach; ++seq) {
        const Bytes m = ThreadMessage(static_cast<uint8_t>(t), seq);
        if (!s.client->Send(m.data(), static_cast<int32_t>(m.size()))) ++refused;
      }
    });
  }
  go = true;
  // Not reading at first fills the buffers, so that the senders have to wait for room.
  Sleep(100);

  frame::Reader reader(1 << 20);
  std::map<int, uint32_t> next;  // per thread, the sequence number expected next
  size_t received = 0, wrong = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (received < kThreads * kEach && std::chrono::steady_clock::now() < end) {
    const Bytes chunk = s.peer.ReadSome(64 * 1024, 200);
    reader.Feed(chunk.data(), chunk.size());
    Bytes m;
    frame::Reader::Status status;
    while ((status = reader.Next(m)) == frame::Reader::Status::kMessage) {
      ++received;
      const uint8_t t = m.empty() ? 0xFF : m[0];
      if (t >= kThreads || m != ThreadMessage(t, next[t]++)) ++wrong;
    }
    ASSERT_NE(status, frame::Reader::Status::kBad) << "the frames on the wire are broken";
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(received, kThreads * kEach);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(DurnixThreads, NoHandlerRunsOnceTheClientIsStoppedWhileDataFlows) {
  const struct Case {
    const char* what;
    std::function<void(Session&)> stop;
    bool closes;
  } cases[] = {
      {"SetActive(false)", [](Session& s) { s.client->SetActive(FALSE); }, true},
      {"receive handler removed", [](Session& s) { s.client->SetOnReceive(nullptr, nullptr); }, false},
      {"last Release", [](Session& s) { s.client.Reset(); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Counter counter;
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect());
    s.client->SetOnReceive(&Counter::OnReceive, &counter);
    s.client->SetOnDisconnect(&Counter::OnDisconnect, &counter);
    s.peer.SendTimeout(1000);

    std::atomic<bool> flooding{true};
    std::atomic<bool> writeFailed{false};
    std::thread flood([&] {
      const Bytes frame = Framed(Pattern(500));
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
      while (flooding && std::chrono::steady_clock::now() < end) {
        if (!s.peer.Write(frame)) {
          writeFailed = true;
          break;
        }
      }
    });
    EXPECT_TRUE(WaitUntil([&] { return counter.calls >= 50; }));

    const auto before = std::chrono::steady_clock::now();
    c.stop(s);
    counter.stopped = true;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    Sleep(100);
    EXPECT_EQ(counter.late.load(), 0);
    if (c.closes) {
      // The peer's writes fail once the client's end is gone.
      EXPECT_TRUE(WaitUntil([&] { return writeFailed.load(); }));
    } else {
      EXPECT_TRUE(s.client->IsConnected());
    }
    flooding = false;
    flood.join();
  }
}

TEST(DurnixThreads, ReceiveHandlerCanSendTheMessageBack) {
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Connect());
  struct Echo {
    IIOCPClient* client;
    std::atomic<int> refused{0};
    static void __stdcall OnReceive(void* context, const uint8_t* data, int32_t len) {
      auto* self = static_cast<Echo*>(context);
      if (!self->client->Send(data, len)) ++self->refused;
    }
  } echo{s.client.get()};
  s.client->SetOnReceive(&Echo::OnReceive, &echo);

  std::vector<Bytes> messages;
  Bytes stream;
  for (size_t i = 0; i < 100; ++i) {
    messages.push_back(Pattern(1 + i * 37 % 900, static_cast<uint8_t>(i)));
    const Bytes f = Framed(messages.back());
    stream.insert(stream.end(), f.begin(), f.end());
  }
  ASSERT_TRUE(s.peer.Write(stream));
  for (size_t i = 0; i < messages.size(); ++i) {
    Bytes got;
    ASSERT_TRUE(s.peer.ReadFrame(got)) << i;
    EXPECT_EQ(got, messages[i]) << i;
  }
  EXPECT_EQ(echo.refused.load(), 0);
}

TEST(DurnixThreads, ReceiveHandlerCanEndTheConnectionItRunsOn) {
  struct Ender {
    IIOCPClient* client;
    bool release;
    std::atomic<int> calls{0};
    std::atomic<int> disconnects{0};
    static void __stdcall OnReceive(void* context, const uint8_t*, int32_t) {
      auto* self = static_cast<Ender*>(context);
      if (self->calls++ > 0) return;
      if (self->release) {
        self->client->Release();
      } else {
        self->client->SetActive(FALSE);
      }
    }
    static void __stdcall OnDisconnect(void* context) { ++static_cast<Ender*>(context)->disconnects; }
  };
  const struct Case {
    const char* what;
    bool release;
  } cases[] = {{"SetActive(false)", false}, {"last Release", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Ender ender{nullptr, c.release};
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.Connect());
    ender.client = s.client.get();
    s.client->SetOnReceive(&Ender::OnReceive, &ender);
    s.client->SetOnDisconnect(&Ender::OnDisconnect, &ender);
    // The handler holds the last reference now.
    if (c.release) s.client.Detach();

    ASSERT_TRUE(s.peer.Write(Cat({Framed(Pattern(3)), Framed(Pattern(4)), Framed(Pattern(5))})));
    EXPECT_TRUE(s.peer.WaitClosed());
    Sleep(50);
    EXPECT_EQ(ender.calls.load(), 1);
    EXPECT_EQ(ender.disconnects.load(), 0);
    if (c.release) continue;

    EXPECT_FALSE(s.client->IsConnected());
    EXPECT_FALSE(s.client->GetActive());
    // The thread that closed its own connection was left to end by itself; the next
    // connection starts cleanly.
    s.client->SetActive(TRUE);
    s.peer = s.listener.Accept();
    ASSERT_TRUE(s.peer);
    ASSERT_TRUE(WaitUntil([&] { return s.client->IsConnected() != FALSE; }));
    const Bytes message = Pattern(8);
    EXPECT_TRUE(s.client->Send(message.data(), 8));
    Bytes got;
    ASSERT_TRUE(s.peer.ReadFrame(got));
    EXPECT_EQ(got, message);
  }
}

TEST(DurnixThreads, DisconnectHandlerCanConnectAgain) {
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Connect());
  struct Again {
    IIOCPClient* client;
    std::atomic<int> disconnects{0};
    static void __stdcall OnDisconnect(void* context) {
      auto* self = static_cast<Again*>(context);
      if (self->disconnects++ == 0) self->client->SetActive(TRUE);
    }
  } again{s.client.get()};
  s.client->SetOnDisconnect(&Again::OnDisconnect, &again);

  s.peer.Close();
  s.peer = s.listener.Accept();
  ASSERT_TRUE(s.peer) << "the disconnect handler did not connect again";
  ASSERT_TRUE(WaitUntil([&] { return s.client->IsConnected() != FALSE; }));
  EXPECT_EQ(again.disconnects.load(), 1);
  ASSERT_TRUE(s.peer.WriteFrame(Pattern(12)));
  ASSERT_TRUE(s.recorder.WaitMessages(1));
  EXPECT_EQ(s.recorder.Messages(), std::vector<Bytes>{Pattern(12)});
}
