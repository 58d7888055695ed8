#include "framing.h"

#include <cstring>

#include "byte_order.h"

namespace frame {

void PutHeader(uint8_t* header, uint32_t messageLen) { wire::PutU32(header, messageLen); }

std::vector<uint8_t> Encode(const uint8_t* message, size_t len) {
  std::vector<uint8_t> out(kHeaderSize + len);
  PutHeader(out.data(), static_cast<uint32_t>(len));
  if (len > 0) std::memcpy(out.data() + kHeaderSize, message, len);
  return out;
}

void Reader::Feed(const uint8_t* data, size_t len) {
  if (bad_ || len == 0) return;
  // Drop what was taken before growing, so the buffer stays about one frame long.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 65536) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + len);
}

Reader::Status Reader::Next(std::vector<uint8_t>& message) {
  if (bad_) return Status::kBad;
  if (Buffered() < kHeaderSize) return Status::kNeedMore;
  const uint32_t len = wire::GetU32(buffer_.data() + start_);
  if (len == 0 || len > maxMessage_) {
    bad_ = true;
    buffer_.clear();
    start_ = 0;
    return Status::kBad;
  }
  if (Buffered() < kHeaderSize + len) return Status::kNeedMore;
  const uint8_t* body = buffer_.data() + start_ + kHeaderSize;
  message.assign(body, body + len);
  start_ += kHeaderSize + len;
  return Status::kMessage;
}

}  // namespace frame
