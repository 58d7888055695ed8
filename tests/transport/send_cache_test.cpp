// Corvane.dll's packet cache: order, bound, copies that live until Pop, a pusher and a
// popper on two threads, and the slots and entry words the game uses.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "slots.h"
#include "uCorvane_Intf.h"
#include "win/com_ptr.h"

namespace {

ComPtr<IsSendCache> NewCache() {
  ComPtr<IsSendCache> cache;
  EXPECT_EQ(__GET_SSENDCACHE_CLASS(cache.Out()), S_OK);
  return cache;
}

bool PushText(IsSendCache* cache, const std::string& text, int32_t address = 0x7f000001,
              uint16_t port = 18001) {
  return cache->Push(1, address, port, reinterpret_cast<const uint8_t*>(text.data()),
                     static_cast<int32_t>(text.size())) != FALSE;
}

std::string PeekText(IsSendCache* cache) {
  const TSendCacheEntry* e = nullptr;
  if (!cache->Peek(&e) || e == nullptr) return "<empty>";
  return std::string(reinterpret_cast<const char*>(e->Data), static_cast<size_t>(e->Length));
}

}  // namespace

TEST(SendCache, HandsOutEntriesInPushOrderWithTheirSender) {
  auto cache = NewCache();
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->Init(1024), 1024);
  ASSERT_TRUE(PushText(cache.get(), "first", 0x7f000001, 18001));
  ASSERT_TRUE(PushText(cache.get(), "second", 0x0a000002, 40000));
  ASSERT_TRUE(PushText(cache.get(), "", 1, 2));  // an empty datagram is a packet too
  EXPECT_EQ(cache->Count(), 3);

  const TSendCacheEntry* e = nullptr;
  ASSERT_TRUE(cache->Peek(&e));
  EXPECT_EQ(e->Kind, 1);
  EXPECT_EQ(e->Address, 0x7f000001);
  EXPECT_EQ(e->Port, 18001);
  EXPECT_EQ(PeekText(cache.get()), "first");
  EXPECT_EQ(PeekText(cache.get()), "first") << "Peek leaves the entry in place";
  cache->Pop();
  ASSERT_TRUE(cache->Peek(&e));
  EXPECT_EQ(e->Address, 0x0a000002);
  EXPECT_EQ(e->Port, 40000);
  EXPECT_EQ(PeekText(cache.get()), "second");
  cache->Pop();
  ASSERT_TRUE(cache->Peek(&e));
  EXPECT_EQ(e->Length, 0);
  cache->Pop();

  EXPECT_FALSE(cache->Peek(&e));
  EXPECT_EQ(e, nullptr);
  cache->Pop();  // on an empty cache: nothing
  EXPECT_EQ(cache->Count(), 0);
}

TEST(SendCache, WhenFullDropsAndCountsNewPacketsAndKeepsTheOldOnes) {
  auto cache = NewCache();
  EXPECT_EQ(cache->Init(3), 3);
  for (const char* t : {"a", "b", "c"}) ASSERT_TRUE(PushText(cache.get(), t));
  EXPECT_FALSE(PushText(cache.get(), "d"));
  EXPECT_FALSE(PushText(cache.get(), "e"));
  EXPECT_EQ(cache->Count(), 3);
  EXPECT_EQ(cache->DroppedCount(), 2u);

  cache->Pop();
  ASSERT_TRUE(PushText(cache.get(), "f")) << "room again after a Pop";
  std::string order;
  for (int i = 0; i < 3; ++i) {
    order += PeekText(cache.get());
    cache->Pop();
  }
  EXPECT_EQ(order, "bcf");
}

TEST(SendCache, InitBoundsToAtLeastOneAndEmptiesTheCache) {
  auto cache = NewCache();
  EXPECT_EQ(cache->Capacity(), 1024) << "a new cache has a bound before Init";
  ASSERT_TRUE(PushText(cache.get(), "x"));
  EXPECT_EQ(cache->Init(0), 1);
  EXPECT_EQ(cache->Count(), 0);
  ASSERT_TRUE(PushText(cache.get(), "y"));
  EXPECT_FALSE(PushText(cache.get(), "z"));
  EXPECT_EQ(cache->Init(-5), 1);
}

TEST(SendCache, RefusesWhatIsNoPacketWithoutReadingIt) {
  auto cache = NewCache();
  EXPECT_FALSE(cache->Push(1, 0, 0, nullptr, 4));
  const uint8_t b[1] = {0};
  EXPECT_FALSE(cache->Push(1, 0, 0, b, -1));
  EXPECT_FALSE(cache->Push(1, 0, 0, b, 70000));
  EXPECT_EQ(cache->Count(), 0);
  EXPECT_EQ(cache->DroppedCount(), 3u);
}

TEST(SendCache, BytesAreCopiedAndStayValidFromPeekUntilPop) {
  auto cache = NewCache();
  cache->Init(4);
  std::vector<uint8_t> buffer(1000, 0xAB);
  ASSERT_TRUE(cache->Push(1, 0, 0, buffer.data(), static_cast<int32_t>(buffer.size())));
  std::fill(buffer.begin(), buffer.end(), 0x00);  // the pusher's buffer is reused at once

  const TSendCacheEntry* e = nullptr;
  ASSERT_TRUE(cache->Peek(&e));
  const uint8_t* held = e->Data;
  // Meanwhile the cache fills up behind the held entry, with larger packets too.
  std::vector<uint8_t> other(5000, 0x11);
  for (int i = 0; i < 10; ++i) cache->Push(1, 0, 0, other.data(), static_cast<int32_t>(other.size()));
  EXPECT_EQ(cache->Count(), 4);
  ASSERT_EQ(e->Length, 1000);
  EXPECT_EQ(e->Data, held);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(held[i], 0xAB) << "byte " << i;
  cache->Pop();
  ASSERT_TRUE(cache->Peek(&e));
  EXPECT_EQ(e->Length, 5000);
  EXPECT_EQ(e->Data[4999], 0x11);
}

// One thread pushes numbered packets of varying length as fast as it can (retrying
// when the cache is full), another peeks, checks and pops: every packet must come out
// once, in order, with its own bytes.
TEST(SendCache, OnePusherAndOnePopperOnTwoThreadsLoseAndMixNothing) {
  auto cache = NewCache();
  cache->Init(64);
  constexpr uint32_t kPackets = 200000;
  std::atomic<bool> stop{false};
  uint32_t retries = 0;
  std::thread pusher([&] {
    std::vector<uint8_t> p;
    for (uint32_t i = 0; i < kPackets && !stop; ++i) {
      p.assign(4 + i % 61, static_cast<uint8_t>(i * 7));
      std::memcpy(p.data(), &i, 4);
      while (!cache->Push(1, static_cast<int32_t>(i), static_cast<uint16_t>(i), p.data(),
                          static_cast<int32_t>(p.size()))) {
        ++retries;
        if (stop) return;
        std::this_thread::yield();
      }
    }
  });
  uint32_t expected = 0;
  std::string failure;
  const DWORD deadline = GetTickCount() + 60000;
  while (expected < kPackets && failure.empty() && GetTickCount() < deadline) {
    const TSendCacheEntry* e = nullptr;
    if (!cache->Peek(&e)) {
      std::this_thread::yield();
      continue;
    }
    uint32_t seq = 0;
    std::memcpy(&seq, e->Data, 4);
    if (seq != expected || e->Address != static_cast<int32_t>(expected) ||
        e->Length != static_cast<int32_t>(4 + expected % 61)) {
      failure = "packet " + std::to_string(expected) + " came out as " + std::to_string(seq);
    }
    for (int32_t k = 4; k < e->Length && failure.empty(); ++k) {
      if (e->Data[k] != static_cast<uint8_t>(expected * 7)) failure = "bytes of " + std::to_string(expected);
    }
    cache->Pop();
    ++expected;
  }
  stop = true;
  pusher.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(expected, kPackets);
  EXPECT_EQ(cache->Count(), 0);
  EXPECT_EQ(cache->DroppedCount(), retries) << "each refused push is counted";
}

TEST(SendCache, GameSlotsAndEntryWordsAreWhereTheGameReadsThem) {
  const auto factory = Export<TGetSendCacheClass>(L"Corvane.dll", "__GET_SSENDCACHE_CLASS");
  ASSERT_NE(factory, nullptr);
  IsSendCache* raw = nullptr;
  ASSERT_EQ(factory(&raw), S_OK);
  ASSERT_NE(raw, nullptr);
  using InitFn = int32_t(__stdcall*)(void*, int32_t);
  using PushFn = BOOL(__stdcall*)(void*, int32_t, int32_t, uint16_t, const uint8_t*, int32_t);
  using PeekFn = BOOL(__stdcall*)(void*, const void**);
  using PopFn = void(__stdcall*)(void*);
  EXPECT_EQ(Slot<InitFn>(raw, 4)(raw, 1024), 1024);
  const uint8_t packet[12] = {0x98, 0x75, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
  EXPECT_TRUE(Slot<PushFn>(raw, 5)(raw, 1, 2130706433, 18001, packet, 12));
  const void* entry = nullptr;
  ASSERT_TRUE(Slot<PeekFn>(raw, 6)(raw, &entry));
  const auto* words = static_cast<const uint8_t*>(entry);
  int32_t length = 0;
  const uint8_t* bytes = nullptr;
  std::memcpy(&length, words + 12, 4);
  std::memcpy(&bytes, words + 16, sizeof bytes);
  EXPECT_EQ(length, 12);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::memcmp(bytes, packet, 12), 0);
  Slot<PopFn>(raw, 7)(raw);
  EXPECT_FALSE(Slot<PeekFn>(raw, 6)(raw, &entry));

  IUnknown* unknown = nullptr;
  ASSERT_EQ(raw->QueryInterface(IID_IsSendCache, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(raw->Release(), 0u);
}

TEST(NetFunc, AddressesToAndFromTextAndHostLookUp) {
  const auto factory = Export<TGetNetFuncClass>(L"Corvane.dll", "__GET_SNETFUNC_CLASS");
  ASSERT_NE(factory, nullptr);
  ComPtr<IsNetFunc> net;
  ASSERT_EQ(factory(net.Out()), S_OK);

  struct Case {
    const char* text;
    bool ok;
    uint32_t address;
  };
  const Case cases[] = {
      {"127.0.0.1", true, 2130706433u},
      {"0.0.0.0", true, 0u},
      {"255.255.255.255", true, 0xffffffffu},
      {"192.168.1.20", true, 0xc0a80114u},
      {"256.0.0.1", false, 0},
      {"1.2.3", false, 0},
      {"1.2.3.4.5", false, 0},
      {"1.2.3.4 ", false, 0},
      {" 1.2.3.4", false, 0},
      {"1..3.4", false, 0},
      {"-1.2.3.4", false, 0},
      {"+1.2.3.4", false, 0},
      {"0001.2.3.4", false, 0},
      {"localhost", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    int32_t a = 77;
    EXPECT_EQ(net->TextToAddress(c.text, &a) != FALSE, c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(static_cast<uint32_t>(a), c.address) << c.text;
      char back[16];
      EXPECT_EQ(net->AddressToText(a, back, sizeof back), static_cast<int32_t>(std::strlen(c.text)));
      EXPECT_STREQ(back, c.text);
    } else {
      EXPECT_EQ(a, 77) << "a refused text leaves the address alone: " << c.text;
    }
  }
  char small[4];
  EXPECT_EQ(net->AddressToText(2130706433, small, sizeof small), 9);
  EXPECT_STREQ(small, "127") << "cut to the buffer, still terminated";
  EXPECT_EQ(net->TextToAddress(nullptr, nullptr), FALSE);

  int32_t resolved = 0;
  EXPECT_TRUE(net->ResolveHost("127.0.0.1", &resolved));
  EXPECT_EQ(resolved, 2130706433);
  EXPECT_TRUE(net->ResolveHost("localhost", &resolved));
  EXPECT_EQ(static_cast<uint32_t>(resolved) >> 24, 127u);
  EXPECT_FALSE(net->ResolveHost("", &resolved));
}
