#include "random_source.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

uint64_t SystemRandom::Next64() {
  if (used_ + sizeof(uint64_t) > buffer_.size()) Refill();
  uint64_t v = 0;
  std::memcpy(&v, buffer_.data() + used_, sizeof v);
  used_ += sizeof v;
  return v;
}

void SystemRandom::Refill() {
  size_t filled = 0;
  while (filled < buffer_.size()) {
    const ssize_t n = ::getrandom(buffer_.data() + filled, buffer_.size() - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("getrandom: ") + std::strerror(errno));
    }
    filled += static_cast<size_t>(n);
  }
  used_ = 0;
}

uint64_t UniformBelow(RandomSource& random, uint64_t bound) {
  // The 2^64 mod bound lowest values are the ones a plain modulo would hand out once
  // too often; only they are drawn again. The rest is a whole number of blocks of
  // `bound` values, each of which maps onto [0, bound) once.
  const uint64_t rejectBelow = (0 - bound) % bound;
  for (;;) {
    const uint64_t v = random.Next64();
    if (v >= rejectBelow) return v % bound;
  }
}
