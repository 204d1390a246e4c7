#include "model/TokenTotals.h"

#include <gtest/gtest.h>

#include <limits>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TokenTotals t(std::int64_t in, std::int64_t cached, std::int64_t out, std::int64_t reasoning,
              std::int64_t total, std::int64_t writes = 0) {
  return {in, cached, out, reasoning, total, writes};
}

// Each field on its own, so that a counter taken from the wrong field shows.
TEST(TokenTotalsTest, SumAndDeltaAreFieldWiseAndSaturate) {
  const struct {
    TokenTotals a, b, sum, delta;
  } cases[] = {
      {t(100, 40, 50, 10, 150, 7), t(60, 30, 70, 5, 130, 2), t(160, 70, 120, 15, 280, 9),
       t(40, 10, 0, 5, 20, 5)},
      {t(kMax, kMin, 1, 0, 0), t(1, -1, kMax, 0, 0), t(kMax, kMin, kMax, 0, 0),
       t(kMax - 1, 0, 0, 0, 0)},
      {t(kMax, 0, 0, 0, 0), t(kMin, 0, 0, 0, 0), t(-1, 0, 0, 0, 0), t(kMax, 0, 0, 0, 0)},
      {t(kMin, 0, 0, 0, 0), t(kMax, 0, 0, 0, 0), t(-1, 0, 0, 0, 0), TokenTotals::zero()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sum, c.a + c.b);
    EXPECT_EQ(c.sum, c.b + c.a);
    EXPECT_EQ(c.delta, c.a.delta(c.b));
  }
}

TEST(TokenTotalsTest, NormalizedKeepsAnIncrementConsistent) {
  const struct {
    TokenTotals raw;
    TokenTotals expected;
  } cases[] = {
      {t(10, 15, 0, 0, 0, 9), t(10, 10, 0, 0, 10, 0)},  // cached capped at input, total filled
      {t(10, 4, 0, 0, 0, 9), t(10, 4, 0, 0, 10, 6)},    // writes capped at the uncached input
      {t(0, 5, 8, 12, 0), t(0, 0, 8, 8, 8)},
      {t(-4, -1, 3, -2, -7, -1), t(0, 0, 3, 0, 3)},
      {t(7, 2, 3, 1, 500), t(7, 2, 3, 1, 500)},  // a positive total is the agent's
      {t(0, 3, 0, 2, -1), TokenTotals::zero()},
      {t(kMax, 0, kMax, 0, 0), t(kMax, 0, kMax, 0, kMax)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, c.raw.normalized()) << ::testing::PrintToString(c.raw);
  }
}

TEST(TokenTotalsTest, EqualityAndHashCoverEveryField) {
  const TokenTotals base = t(1, 2, 3, 4, 5, 6);
  for (const TokenTotals& other : {t(9, 2, 3, 4, 5, 6), t(1, 9, 3, 4, 5, 6), t(1, 2, 9, 4, 5, 6),
                                   t(1, 2, 3, 9, 5, 6), t(1, 2, 3, 4, 9, 6), t(1, 2, 3, 4, 5, 9)}) {
    EXPECT_NE(base, other);
    EXPECT_NE(hashValue(base), hashValue(other));
  }
}

}  // namespace
}  // namespace nubrel
