// The prize table: which random value gives which sector, and what many draws from
// the server's own random source look like.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "prize_table.h"
#include "scripted_random.h"

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

TEST(PrizeTable, ValuesMapOntoSectorsByWeight) {
  // Total weight 6: sector 1 takes 0, sector 3 takes 1-2, sector 8 takes 3-5.
  const PrizeTable table({1, 2, 3, 4, 5, 6, 7, 8}, {1, 0, 2, 0, 0, 0, 0, 3});
  // 2^64 = 4 (mod 6): values 0-3 would make sectors 1 and 3 a little likelier and
  // are drawn again.
  struct Case {
    std::deque<uint64_t> values;
    int sector;
    int taken;
  } cases[] = {
      {{4}, 8, 1},    {{5}, 8, 1},        {{6}, 1, 1},    {{7}, 3, 1},    {{8}, 3, 1},        {{9}, 8, 1},
      {{kMax}, 8, 1}, {{kMax - 3}, 1, 1}, {{0, 7}, 3, 2}, {{3, 6}, 1, 2}, {{1, 2, 10}, 8, 3},
  };
  for (const auto& k : cases) {
    ScriptedRandom random;
    random.queued = k.values;
    EXPECT_EQ(table.Draw(random), k.sector) << k.values.front();
    EXPECT_EQ(random.taken, k.taken) << k.values.front();
  }
}

TEST(PrizeTable, TheDefaultTableKeepsAnEdgeForTheHouse) {
  const PrizeTable table(kDefaultPrizes, kDefaultWeights);
  EXPECT_DOUBLE_EQ(table.ExpectedPrize(), 9.5);
  EXPECT_LT(table.ExpectedPrize(), kDefaultStake);
  EXPECT_EQ(table.MaxPrize(), 500);
  const std::string text = table.Describe(kDefaultStake);
  EXPECT_NE(text.find("       8        500          2      0.2000%          1.0000\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("a return of 95.00%"), std::string::npos) << text;
}

TEST(PrizeTable, SectorsThatCannotComeUpDoNotCountAndBadTablesAreRefused) {
  EXPECT_EQ(PrizeTable({1, 2, 3, 4, 5, 6, 7, 900}, {1, 1, 1, 1, 1, 1, 1, 0}).MaxPrize(), 7);
  EXPECT_DOUBLE_EQ(PrizeTable({0, 0, 0, 0, 0, 0, 0, 900}, {3, 0, 0, 0, 0, 0, 0, 1}).ExpectedPrize(), 225.0);
  EXPECT_THROW(PrizeTable(kDefaultPrizes, {0, 0, 0, 0, 0, 0, 0, 0}), std::invalid_argument);
  EXPECT_THROW(PrizeTable({0, 1, 2, 3, 4, 5, 6, -1}, kDefaultWeights), std::invalid_argument);
}

// Many draws from the system source against the table. Each sector count is
// binomial(n, p): it must lie within 5 standard deviations of n p, which a fair draw
// misses with probability below 6e-7 per sector. The mean prize gets the same bound
// from the prize's own variance. A sector of weight 0 must never appear.
TEST(PrizeTable, DrawsFollowTheWeights) {
  const struct {
    const char* what;
    Prizes prizes;
    Weights weights;
  } tables[] = {
      {"default", kDefaultPrizes, kDefaultWeights},
      {"with zero weights", {1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 0, 3, 0, 0, 5, 1}},
  };
  constexpr int kDraws = 200000;
  for (const auto& t : tables) {
    const PrizeTable table(t.prizes, t.weights);
    SystemRandom random;
    std::array<int, kSectors + 1> counts{};
    double prizeSum = 0;
    for (int i = 0; i < kDraws; ++i) {
      const int s = table.Draw(random);
      ASSERT_GE(s, 1);
      ASSERT_LE(s, kSectors);
      ++counts[static_cast<size_t>(s)];
      prizeSum += table.Prize(s);
    }
    double meanSquare = 0;
    for (int s = 1; s <= kSectors; ++s) {
      const double p = table.Probability(s);
      meanSquare += p * table.Prize(s) * table.Prize(s);
      if (table.Weight(s) == 0) {
        EXPECT_EQ(counts[static_cast<size_t>(s)], 0) << t.what << " sector " << s;
        continue;
      }
      const double sigma = std::sqrt(kDraws * p * (1 - p));
      EXPECT_NEAR(counts[static_cast<size_t>(s)], kDraws * p, 5 * sigma) << t.what << " sector " << s;
    }
    const double expected = table.ExpectedPrize();
    const double sigmaMean = std::sqrt((meanSquare - expected * expected) / kDraws);
    EXPECT_NEAR(prizeSum / kDraws, expected, 5 * sigmaMean) << t.what;
  }
}

TEST(PrizeTable, UniformBelowCoversItsRange) {
  // A power of two divides 2^64: nothing is thrown away.
  ScriptedRandom random;
  random.queued = {kMax, 0};
  EXPECT_EQ(UniformBelow(random, 1ull << 32), (1ull << 32) - 1);
  EXPECT_EQ(UniformBelow(random, 1ull << 32), 0u);
  EXPECT_EQ(random.taken, 2);
  SystemRandom system;
  std::array<bool, 3> seen{};
  for (int i = 0; i < 200; ++i) seen.at(UniformBelow(system, 3)) = true;
  EXPECT_EQ(seen, (std::array<bool, 3>{true, true, true}));
}

}  // namespace
