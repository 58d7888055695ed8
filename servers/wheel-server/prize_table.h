// The wheel's eight sectors: what each pays and how likely it is to come up.
// Sector numbers are the ones on the wire, 1 to 8 (the client's wheel picture
// stops on that sector).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "random_source.h"

constexpr int kSectors = 8;
using Prizes = std::array<int32_t, kSectors>;
using Weights = std::array<uint32_t, kSectors>;

// The table the server runs with unless told otherwise: 9.5 coins back per 10 staked.
constexpr int32_t kDefaultStake = 10;
constexpr Prizes kDefaultPrizes = {0, 5, 10, 20, 50, 100, 200, 500};
constexpr Weights kDefaultWeights = {448, 260, 160, 80, 30, 15, 5, 2};

class PrizeTable {
 public:
  // Throws std::invalid_argument for a negative prize or weights that are all zero.
  PrizeTable(const Prizes& prizes, const Weights& weights);

  // A sector from 1 to 8, each with probability weight / total weight; a sector of
  // weight 0 never comes up.
  int Draw(RandomSource& random) const;

  int32_t Prize(int sector) const { return prizes_.at(static_cast<size_t>(sector - 1)); }
  uint32_t Weight(int sector) const { return weights_.at(static_cast<size_t>(sector - 1)); }
  uint64_t TotalWeight() const { return total_; }
  double Probability(int sector) const;
  // The mean prize of one spin.
  double ExpectedPrize() const;
  // The largest prize that can come up (sectors of weight 0 left out).
  int32_t MaxPrize() const;

  // The table as text for operators: a row per sector, then the expected return per
  // spin against `stake`.
  std::string Describe(int32_t stake) const;

 private:
  Prizes prizes_;
  Weights weights_;
  uint64_t total_ = 0;
};
