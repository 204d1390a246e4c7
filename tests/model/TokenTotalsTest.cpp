#include "model/TokenTotals.h"

#include <gtest/gtest.h>

#include <limits>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TokenTotals t(std::int64_t in, std::int64_t cached, std::int64_t out, std::int64_t reasoning,
              std::int64_t total) {
  return {in, cached, out, reasoning, total};
}

TEST(TokenTotalsTest, SumIsFieldWiseAndStartsFromZero) {
  const TokenTotals a = t(1, 2, 3, 4, 5);
  const TokenTotals b = t(10, 20, 30, 40, 50);
  EXPECT_EQ(t(11, 22, 33, 44, 55), a + b);
  EXPECT_EQ(a + b, b + a);
  EXPECT_EQ(a, TokenTotals::zero() + a);
}

TEST(TokenTotalsTest, DeltaClampsFieldsThatWentDown) {
  EXPECT_EQ(t(40, 0, 0, 5, 20), t(100, 40, 50, 10, 150).delta(t(60, 40, 70, 5, 130)));
}

TEST(TokenTotalsTest, NormalizedKeepsAnIncrementConsistent) {
  const struct {
    TokenTotals raw;
    TokenTotals expected;
    const char* why;
  } cases[] = {
      {t(10, 15, 0, 0, 0), t(10, 10, 0, 0, 10), "cached capped at input, total filled in"},
      {t(0, 5, 8, 12, 0), t(0, 0, 8, 8, 8), "no input means no cached; reasoning capped"},
      {t(-4, -1, 3, -2, -7), t(0, 0, 3, 0, 3), "negatives become zero"},
      {t(7, 2, 3, 1, 500), t(7, 2, 3, 1, 500), "a positive total passes unchanged"},
      {t(0, 0, 0, 0, 0), TokenTotals::zero(), "zero stays zero"},
      {t(0, 3, 0, 2, -1), TokenTotals::zero(), "nothing positive gives zero"},
      {t(kMax, 0, kMax, 0, 0), t(kMax, 0, kMax, 0, kMax), "input + output saturates"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, c.raw.normalized()) << c.why;
  }
}

TEST(TokenTotalsTest, ArithmeticSaturatesInsteadOfWrapping) {
  EXPECT_EQ(t(kMax, kMin, kMax, 0, 0), t(kMax, kMin, 1, 0, 0) + t(1, -1, kMax, 0, 0));
  EXPECT_EQ(kMax, t(kMax, 0, 0, 0, 0).delta(t(kMin, 0, 0, 0, 0)).inputTokens);
  EXPECT_EQ(0, t(kMin, 0, 0, 0, 0).delta(t(kMax, 0, 0, 0, 0)).inputTokens);
}

TEST(TokenTotalsTest, EqualityAndHashCoverEveryField) {
  const TokenTotals base = t(1, 2, 3, 4, 5);
  EXPECT_EQ(base, t(1, 2, 3, 4, 5));
  EXPECT_EQ(hashValue(base), hashValue(t(1, 2, 3, 4, 5)));
  for (const TokenTotals& other :
       {t(9, 2, 3, 4, 5), t(1, 9, 3, 4, 5), t(1, 2, 9, 4, 5), t(1, 2, 3, 9, 5), t(1, 2, 3, 4, 9)}) {
    EXPECT_NE(base, other);
    EXPECT_NE(hashValue(base), hashValue(other));
  }
}

}  // namespace
}  // namespace nubrel
