#include "model/TokenTotals.h"

#include <gtest/gtest.h>

#include <limits>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TokenTotals t(std::int64_t in, std::int64_t cached, std::int64_t out = 0,
              std::int64_t reasoning = 0, std::int64_t total = 0, std::int64_t writes = 0) {
  return {in, cached, out, reasoning, total, writes};
}

// Field by field, so that a counter taken from the wrong field shows; saturating, not wrapping.
TEST(TokenTotalsTest, ArithmeticIsFieldWiseAndSaturates) {
  const struct {
    TokenTotals a, b, sum, delta, normalized;  // a + b, a.delta(b), a.normalized()
  } cases[] = {
      {t(100, 40, 50, 10, 150, 7), t(60, 30, 70, 5, 130, 2), t(160, 70, 120, 15, 280, 9),
       t(40, 10, 0, 5, 20, 5), t(100, 40, 50, 10, 150, 7)},
      {t(kMax, kMin, 1), t(1, -1, kMax), t(kMax, kMin, kMax), t(kMax - 1, 0),
       t(kMax, 0, 1, 0, kMax)},
      {t(kMax, 0), t(kMin, 0), t(-1, 0), t(kMax, 0), t(kMax, 0, 0, 0, kMax)},
      // Cached input within the input, cache writes within the rest, reasoning within the output.
      {t(10, 15, 0, 0, 0, 9), t(0, 0), t(10, 15, 0, 0, 0, 9), t(10, 15, 0, 0, 0, 9),
       t(10, 10, 0, 0, 10)},
      {t(10, 4, 3, 7, 0, 9), t(0, 0), t(10, 4, 3, 7, 0, 9), t(10, 4, 3, 7, 0, 9),
       t(10, 4, 3, 3, 13, 6)},
      {t(-4, -1, 3, -2, -7, -1), t(0, 0), t(-4, -1, 3, -2, -7, -1), t(0, 0, 3, 0, 0, 0),
       t(0, 0, 3, 0, 3)},
      {t(0, 3, 0, 2, -1), t(0, 0), t(0, 3, 0, 2, -1), t(0, 3, 0, 2), t(0, 0)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sum, c.a + c.b) << ::testing::PrintToString(c.a);
    EXPECT_EQ(c.delta, c.a.delta(c.b)) << ::testing::PrintToString(c.a);
    EXPECT_EQ(c.normalized, c.a.normalized()) << ::testing::PrintToString(c.a);
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
