// Where the server's chance comes from: session ids and the sector of every spin.
// The game takes the interface so that tests can script it; the server runs on the
// kernel's CSPRNG, so neither a session id nor the next sector can be worked out from
// earlier ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // 64 bits, each equally likely 0 or 1.
  virtual uint64_t Next64() = 0;
};

// getrandom(2), read ahead in blocks: one system call serves many draws.
class SystemRandom : public RandomSource {
 public:
  uint64_t Next64() override;

 private:
  void Refill();

  std::array<uint8_t, 512> buffer_{};
  size_t used_ = sizeof buffer_;
};

// A uniform number in [0, bound) for bound > 0, without the bias of a plain modulo:
// the 2^64 mod bound lowest values are thrown away and drawn again (none at all when
// bound is a power of two).
uint64_t UniformBelow(RandomSource& random, uint64_t bound);
