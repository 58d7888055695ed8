// The packet cache: a bounded ring of entries, each owning a copy of its packet's
// bytes. The ring is made once by Init and never moves, so an entry that Peek handed
// out stays where it is, bytes and all, until Pop; a pusher only ever writes the free
// slots behind the last entry.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "uCorvane_Intf.h"
#include "win/ref_counted.h"

namespace corvane {

class SendCache final : public RefCountedObject<IsSendCache> {
 public:
  static constexpr int32_t kDefaultCapacity = 1024;
  // The largest packet a datagram can carry; anything longer is not a packet.
  static constexpr int32_t kMaxPacket = 65535;

  SendCache();

  int32_t __stdcall Count() override;
  int32_t __stdcall Init(int32_t capacity) override;
  BOOL __stdcall Push(int32_t kind, int32_t address, uint16_t port, const uint8_t* data,
                      int32_t len) override;
  BOOL __stdcall Peek(const TSendCacheEntry** entry) override;
  void __stdcall Pop() override;
  uint32_t __stdcall DroppedCount() override;
  int32_t __stdcall Capacity() override;

 private:
  struct Slot {
    TSendCacheEntry entry{};
    std::vector<uint8_t> bytes;
  };

  // Guards the ring's indices and the slots being written or freed. Held only for a
  // copy of one packet at most, never across a call out of the cache.
  std::mutex mutex_;
  std::vector<Slot> slots_;
  size_t head_ = 0;
  size_t count_ = 0;
  std::atomic<uint32_t> dropped_{0};
};

}  // namespace corvane
