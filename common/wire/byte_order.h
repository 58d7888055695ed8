// Little-endian field access for records on the wire. Records are read and written
// field by field through these helpers, never by copying a struct, so the bytes on
// the wire do not depend on the host's byte order or padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wire {

inline void PutI32(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline int32_t GetI32(const uint8_t* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(v);
}

inline void PutU32(uint8_t* p, uint32_t value) { PutI32(p, static_cast<int32_t>(value)); }
inline uint32_t GetU32(const uint8_t* p) { return static_cast<uint32_t>(GetI32(p)); }

}  // namespace wire
