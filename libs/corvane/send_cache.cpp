#include "send_cache.h"

#include <cstring>

namespace corvane {

namespace {
// A slot keeps its buffer for the next packet unless it grew past this; then the
// memory goes back, so one burst of large packets does not stay held for good.
constexpr size_t kKeptBuffer = 4096;
}  // namespace

SendCache::SendCache() : RefCountedObject(&IID_IsSendCache), slots_(kDefaultCapacity) {}

int32_t SendCache::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int32_t>(count_);
}

int32_t SendCache::Init(int32_t capacity) {
  if (capacity < 1) capacity = 1;
  try {
    std::vector<Slot> fresh(static_cast<size_t>(capacity));
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.swap(fresh);
    head_ = 0;
    count_ = 0;
  } catch (const std::bad_alloc&) {
    // The old ring stays in force.
  }
  return Capacity();
}

BOOL SendCache::Push(int32_t kind, int32_t address, uint16_t port, const uint8_t* data, int32_t len) {
  if (len < 0 || len > kMaxPacket || (data == nullptr && len > 0)) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ == slots_.size()) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return FALSE;
  }
  Slot& slot = slots_[(head_ + count_) % slots_.size()];
  try {
    slot.bytes.assign(data, data + len);
  } catch (const std::bad_alloc&) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return FALSE;
  }
  slot.entry.Kind = kind;
  slot.entry.Address = address;
  slot.entry.Port = port;
  slot.entry.Reserved = 0;
  slot.entry.Length = len;
  slot.entry.Data = slot.bytes.data();
  ++count_;
  return TRUE;
}

BOOL SendCache::Peek(const TSendCacheEntry** entry) {
  if (entry == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ == 0) {
    *entry = nullptr;
    return FALSE;
  }
  *entry = &slots_[head_].entry;
  return TRUE;
}

void SendCache::Pop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ == 0) return;
  Slot& slot = slots_[head_];
  if (slot.bytes.capacity() > kKeptBuffer) {
    std::vector<uint8_t>().swap(slot.bytes);
  } else {
    slot.bytes.clear();
  }
  slot.entry = TSendCacheEntry{};
  head_ = (head_ + 1) % slots_.size();
  --count_;
}

uint32_t SendCache::DroppedCount() {
  return dropped_.load(std::memory_order_relaxed);
}

int32_t SendCache::Capacity() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int32_t>(slots_.size());
}

}  // namespace corvane
