// Messages on the update connection are framed: a 4-byte little-endian length, then
// that many bytes of message. The client DLL and the update server share this code.
//
//   0C 00 00 00 | 0C 00 00 00 E8 03 00 00 00 00 00 00     one 12-byte FileInfo
//
// A length of 0 or above the reader's limit is a broken peer: the connection closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frame {

constexpr size_t kHeaderSize = 4;

// The frame for one message: header and payload in one buffer, ready to send.
std::vector<uint8_t> Encode(const uint8_t* message, size_t len);
void PutHeader(uint8_t* header, uint32_t messageLen);

// Cuts a byte stream into messages. Feed it what the socket delivered, then take
// messages until it says it needs more.
class Reader {
 public:
  enum class Status { kMessage, kNeedMore, kBad };

  explicit Reader(size_t maxMessage) : maxMessage_(maxMessage) {}

  void Feed(const uint8_t* data, size_t len);
  // kMessage: `message` holds the next whole message. kNeedMore: nothing complete
  // yet. kBad: the peer announced a length of 0 or above the limit; the stream is
  // unusable from here on and every later call says kBad too.
  Status Next(std::vector<uint8_t>& message);
  // Bytes fed but not yet taken.
  size_t Buffered() const { return buffer_.size() - start_; }
  size_t MaxMessage() const { return maxMessage_; }

 private:
  size_t maxMessage_;
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  bool bad_ = false;
};

}  // namespace frame
