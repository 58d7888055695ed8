// Small helpers shared by the record tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

template <class Container>
Bytes ToBytes(const Container& c) {
  return Bytes(c.begin(), c.end());
}

inline Bytes StrBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// `head` followed by zeros up to `size`.
inline Bytes Padded(Bytes head, size_t size) {
  head.resize(size, 0);
  return head;
}

// A heap copy of exactly `len` bytes of `src` (zero-filled beyond it), so that the
// address sanitizer catches any read past the end.
inline std::vector<uint8_t> ExactCopy(const Bytes& src, size_t len) {
  std::vector<uint8_t> out(len, 0);
  for (size_t i = 0; i < len && i < src.size(); ++i) out[i] = src[i];
  return out;
}
