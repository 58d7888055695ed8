// Names and paths travel length-prefixed in a field of fixed room: byte 0 holds the
// length n, bytes 1..n the text (GBK, no terminator). Texts are cut by bytes, so a
// cut may fall inside a double-byte character; that is the format, not a fault.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace wire {

// Writes text into field[0 .. room], cut to `room` bytes; the unused rest is zeroed.
inline void PutLengthPrefixed(uint8_t* field, size_t room, std::string_view text) {
  const size_t n = std::min({text.size(), room, size_t{255}});
  field[0] = static_cast<uint8_t>(n);
  std::memcpy(field + 1, text.data(), n);
  std::memset(field + 1 + n, 0, room - n);
}

// Reads the text of a field with room for `room` bytes. A length byte above the
// room is malformed; the text is then taken as the whole room, never more.
inline std::string GetLengthPrefixed(const uint8_t* field, size_t room) {
  const size_t n = std::min<size_t>(field[0], room);
  return std::string(reinterpret_cast<const char*>(field + 1), n);
}

}  // namespace wire
