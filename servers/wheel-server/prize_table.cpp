#include "prize_table.h"

#include <cstdio>
#include <stdexcept>

PrizeTable::PrizeTable(const Prizes& prizes, const Weights& weights) : prizes_(prizes), weights_(weights) {
  for (int32_t p : prizes_) {
    if (p < 0) throw std::invalid_argument("a prize is negative");
  }
  for (uint32_t w : weights_) total_ += w;
  if (total_ == 0) throw std::invalid_argument("every weight is zero: no sector can come up");
}

int PrizeTable::Draw(RandomSource& random) const {
  uint64_t r = UniformBelow(random, total_);
  for (int s = 1; s <= kSectors; ++s) {
    const uint64_t w = Weight(s);
    if (r < w) return s;
    r -= w;
  }
  return kSectors;  // not reached: r < total_ = the sum of the weights
}

double PrizeTable::Probability(int sector) const {
  return static_cast<double>(Weight(sector)) / static_cast<double>(total_);
}

double PrizeTable::ExpectedPrize() const {
  double sum = 0;
  for (int s = 1; s <= kSectors; ++s) sum += Probability(s) * Prize(s);
  return sum;
}

int32_t PrizeTable::MaxPrize() const {
  int32_t most = 0;
  for (int s = 1; s <= kSectors; ++s) {
    if (Weight(s) > 0 && Prize(s) > most) most = Prize(s);
  }
  return most;
}

std::string PrizeTable::Describe(int32_t stake) const {
  std::string out = "  sector      prize     weight  probability  expected prize\n";
  char line[128];
  for (int s = 1; s <= kSectors; ++s) {
    std::snprintf(line, sizeof line, "  %6d %10d %10u %11.4f%% %15.4f\n", s, Prize(s), Weight(s),
                  100.0 * Probability(s), Probability(s) * Prize(s));
    out += line;
  }
  const double expected = ExpectedPrize();
  std::snprintf(line, sizeof line, "  expected prize per spin %.4f for a stake of %d: a return of %.2f%%\n",
                expected, stake, stake > 0 ? 100.0 * expected / stake : 0.0);
  out += line;
  return out;
}
