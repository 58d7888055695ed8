// A random source for tests: the values queued first, then a fixed pseudo-random
// sequence, so that a test picks the sectors and session ids it needs and the rest
// is reproducible.
#pragma once

#include <cstdint>
#include <deque>

#include "prize_table.h"
#include "random_source.h"

class ScriptedRandom : public RandomSource {
 public:
  uint64_t Next64() override {
    ++taken;
    if (!queued.empty()) {
      const uint64_t v = queued.front();
      queued.pop_front();
      return v;
    }
    // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Queues the value that makes `table` draw `sector`: the weights below it, plus
  // the total so that the value is past the few low ones a draw throws away.
  void QueueSector(const PrizeTable& table, int sector) {
    uint64_t below = 0;
    for (int s = 1; s < sector; ++s) below += table.Weight(s);
    queued.push_back(table.TotalWeight() + below);
  }

  std::deque<uint64_t> queued;
  int taken = 0;

 private:
  uint64_t state_ = 12345;
};
