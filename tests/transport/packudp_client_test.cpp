// Peltrix.dll's UDP client on 127.0.0.1: one record per datagram both ways, the sender
// as the game numbers addresses, the slots the game calls, and a release that really
// stops the receive thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "slots.h"
#include "uudpClient_Intf.h"
#include "win/com_ptr.h"

namespace {

constexpr int32_t kLoopback = 2130706433;  // 127.0.0.1

struct Datagram {
  int32_t address = 0;
  uint16_t port = 0;
  std::string bytes;
  DWORD thread = 0;
};

// What a handler received, for the test thread to wait on.
class Inbox {
 public:
  static void __stdcall Handler(void* context, int32_t address, uint16_t port, const uint8_t* data,
                                int32_t len) {
    auto* self = static_cast<Inbox*>(context);
    if (self->delayMs > 0) Sleep(self->delayMs);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->got_.push_back(
        {address, port, std::string(reinterpret_cast<const char*>(data), len), GetCurrentThreadId()});
    self->cv_.notify_all();
  }

  bool WaitFor(size_t n, int ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return got_.size() >= n; });
  }
  std::vector<Datagram> Got() {
    std::lock_guard<std::mutex> lock(mutex_);
    return {got_.begin(), got_.end()};
  }
  size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return got_.size();
  }

  int delayMs = 0;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Datagram> got_;
};

ComPtr<IPackudpClient> NewClient() {
  ComPtr<IPackudpClient> c;
  EXPECT_EQ(__GET_PackUdpClient(c.Out()), S_OK);
  return c;
}

ComPtr<IPackudpClient> ActiveClient(Inbox* inbox) {
  auto c = NewClient();
  c->SetOnReceive(&Inbox::Handler, inbox);
  c->SetActive(TRUE);
  EXPECT_TRUE(c->GetActive());
  EXPECT_NE(c->GetPort(), 0) << "bound to an ephemeral port; error " << c->GetLastSocketError();
  return c;
}

int32_t SendText(IPackudpClient* c, uint16_t port, const std::string& s) {
  return c->SendTo(kLoopback, port, s.data(), static_cast<int32_t>(s.size()), 100);
}

}  // namespace

TEST(PackUdpClient, EachRecordTravelsAsOneDatagramWithItsSender) {
  Inbox a, b;
  auto ca = ActiveClient(&a);
  auto cb = ActiveClient(&b);
  const std::vector<std::string> records = {std::string(28, 'L'), std::string(12, 'R'), "",
                                            std::string(32, '\0'), std::string(65507, 'x')};
  for (const auto& r : records)
    EXPECT_EQ(SendText(ca.get(), cb->GetPort(), r), static_cast<int32_t>(r.size()));
  ASSERT_TRUE(b.WaitFor(records.size()));
  const auto got = b.Got();
  ASSERT_EQ(got.size(), records.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].bytes, records[i]) << "datagram " << i;
    EXPECT_EQ(got[i].address, kLoopback);
    EXPECT_EQ(got[i].port, ca->GetPort());
    EXPECT_NE(got[i].thread, GetCurrentThreadId()) << "handlers run on the client's own thread";
  }
  EXPECT_EQ(cb->GetReceivedCount(), records.size());

  // And back, to the port the handler reported.
  EXPECT_EQ(SendText(cb.get(), got[0].port, "pong"), 4);
  ASSERT_TRUE(a.WaitFor(1));
  EXPECT_EQ(a.Got()[0].bytes, "pong");
  EXPECT_EQ(a.Got()[0].port, cb->GetPort());
}

TEST(PackUdpClient, RefusesSendsItCannotMake) {
  auto idle = NewClient();
  EXPECT_FALSE(idle->GetActive());
  EXPECT_EQ(idle->GetPort(), 0);
  EXPECT_EQ(SendText(idle.get(), 9, "x"), -1) << "not active";
  EXPECT_NE(idle->GetLastSocketError(), 0);

  Inbox inbox;
  auto c = ActiveClient(&inbox);
  EXPECT_EQ(c->SendTo(kLoopback, 9, nullptr, 5, 100), -1);
  EXPECT_EQ(c->SendTo(kLoopback, 9, "x", -1, 100), -1);
  const std::string huge(65536, 'h');
  EXPECT_EQ(SendText(c.get(), 9, huge), -1);
}

// A server that is not there answers with "port unreachable"; the client must go on
// receiving from one that is.
TEST(PackUdpClient, KeepsReceivingAfterSendingToAClosedPort) {
  Inbox a, b;
  auto ca = ActiveClient(&a);
  uint16_t closedPort = 0;
  {
    Inbox gone;
    auto c = ActiveClient(&gone);
    closedPort = c->GetPort();
  }
  for (int i = 0; i < 3; ++i) SendText(ca.get(), closedPort, "anyone?");
  Sleep(100);
  auto cb = ActiveClient(&b);
  EXPECT_EQ(SendText(cb.get(), ca->GetPort(), "still here"), 10);
  ASSERT_TRUE(a.WaitFor(1));
  EXPECT_EQ(a.Got()[0].bytes, "still here");
  EXPECT_TRUE(ca->GetActive());
}

TEST(PackUdpClient, SetActiveFalseAndReleaseStopTheHandlerForGood) {
  Inbox sink;
  Inbox slow;
  slow.delayMs = 20;  // handlers still running while the client is stopped
  auto sender = ActiveClient(&sink);
  auto c = ActiveClient(&slow);
  const uint16_t port = c->GetPort();
  for (int i = 0; i < 50; ++i) SendText(sender.get(), port, "burst");
  ASSERT_TRUE(slow.WaitFor(1));
  c->SetActive(FALSE);
  const size_t atStop = slow.Size();
  EXPECT_FALSE(c->GetActive());
  EXPECT_EQ(c->GetPort(), 0);
  for (int i = 0; i < 5; ++i) SendText(sender.get(), port, "late");
  Sleep(300);
  EXPECT_EQ(slow.Size(), atStop) << "no handler after SetActive(false) returned";
  EXPECT_LT(atStop, 50u) << "the stop did not wait for the whole burst";

  // Active again on a fresh port; then the last Release ends it the same way.
  c->SetActive(TRUE);
  ASSERT_TRUE(c->GetActive());
  const uint16_t second = c->GetPort();
  for (int i = 0; i < 50; ++i) SendText(sender.get(), second, "burst");
  ASSERT_TRUE(slow.WaitFor(atStop + 1));
  c.Reset();
  const size_t atRelease = slow.Size();
  Sleep(300);
  EXPECT_EQ(slow.Size(), atRelease) << "no handler after the last Release returned";
}

namespace {
struct SelfReleasing {
  IPackudpClient* client = nullptr;
  std::atomic<int> calls{0};
  static void __stdcall Handler(void* context, int32_t, uint16_t, const uint8_t*, int32_t) {
    auto* self = static_cast<SelfReleasing*>(context);
    if (self->calls++ == 0) self->client->Release();
  }
};
}  // namespace

TEST(PackUdpClient, HandlerMayReleaseTheClientItself) {
  SelfReleasing ctx;
  ASSERT_EQ(__GET_PackUdpClient(&ctx.client), S_OK);
  ctx.client->SetOnReceive(&SelfReleasing::Handler, &ctx);
  ctx.client->SetActive(TRUE);
  const uint16_t port = ctx.client->GetPort();
  Inbox sink;
  auto sender = ActiveClient(&sink);
  for (int i = 0; i < 3; ++i) SendText(sender.get(), port, "bye");
  for (int i = 0; i < 100 && ctx.calls == 0; ++i) Sleep(20);
  Sleep(200);
  EXPECT_EQ(ctx.calls, 1) << "the client ended with the handler's Release";
}

TEST(PackUdpClient, GameSlotsAndPlainExportName) {
  const auto factory = Export<TGetPackUdpClient>(L"Peltrix.dll", "__GET_PackUdpClient");
  ASSERT_NE(factory, nullptr);
  IPackudpClient* raw = nullptr;
  ASSERT_EQ(factory(&raw), S_OK);
  Inbox inbox;
  using SetActiveFn = void(__stdcall*)(void*, BOOL);
  using SetOnReceiveFn = void(__stdcall*)(void*, TUdpReceiveProc, void*);
  using SendToFn = int32_t(__stdcall*)(void*, int32_t, uint16_t, const void*, int32_t, int32_t);
  Slot<SetOnReceiveFn>(raw, 8)(raw, &Inbox::Handler, &inbox);
  Slot<SetActiveFn>(raw, 5)(raw, TRUE);
  ASSERT_TRUE(raw->GetActive());
  // To itself: the game's own packet goes out and comes back whole.
  const uint8_t record[12] = {0xA0, 0x75, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0};
  EXPECT_EQ(Slot<SendToFn>(raw, 10)(raw, kLoopback, raw->GetPort(), record, 12, 100), 12);
  ASSERT_TRUE(inbox.WaitFor(1));
  EXPECT_EQ(inbox.Got()[0].bytes, std::string(reinterpret_cast<const char*>(record), 12));

  void* other = nullptr;
  EXPECT_EQ(raw->QueryInterface(IID_IUnknown, &other), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(other)->Release(), 1u);
  EXPECT_EQ(raw->Release(), 0u);
}
