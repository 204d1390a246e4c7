#include "pricing/UsageCost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

namespace nubrel {
namespace {

using Micros = std::array<std::int64_t, kRowCount>;

// gpt-5.5's rates with a long tier; the same without it, with a cache-write price.
constexpr TierRates kBase{.input = 5'000'000, .cachedInput = 500'000, .output = 30'000'000};
constexpr ModelPrice kPrice{.base = kBase,
                            .longContext = TierRates{10'000'000, 1'000'000, 45'000'000}};
constexpr ModelPrice kWithWrites{.base = {5'000'000, 500'000, 30'000'000, 6'250'000}};

// Each row's cost in micro-dollars, exact in every case below.
Micros micros(const UsageCost& cost) {
  Micros rows{};
  std::transform(cost.rows.begin(), cost.rows.end(), rows.begin(),
                 [](Picodollars row) { return static_cast<std::int64_t>(row / 1'000'000); });
  return rows;
}

// Counters: input (cached included), cached, output (reasoning included), reasoning, and cache
// writes (part of the uncached input; at their own price, else the input rate; at most all of it).
TEST(UsageCostTest, EachCounterIsPricedOnceAtItsRate) {
  const struct {
    TokenTotals totals;
    const ModelPrice& price;
    bool longContext;
    Micros micros;
  } cases[] = {
      {{1'000, 0, 0, 0, 0}, kPrice, false, {5'000, 0, 0, 0}},
      {{1'000, 1'000, 0, 0, 0}, kPrice, false, {0, 500, 0, 0}},
      {{0, 0, 100, 40, 0}, kPrice, false, {0, 0, 1'800, 1'200}},
      {{300'000, 100'000, 10, 0, 0}, kPrice, true, {2'000'000, 100'000, 450, 0}},
      {{300'000, 0, 0, 0, 0}, kWithWrites, true, {1'500'000, 0, 0, 0}},  // no long tier
      {{1'000, 200, 0, 0, 0, 300}, kWithWrites, false, {500 * 5 + 300 * 6 + 75, 100, 0, 0}},
      {{1'000, 200, 0, 0, 0, 300}, kPrice, false, {4'000, 100, 0, 0}},
      {{1'000, 900, 0, 0, 0, 500}, kWithWrites, false, {625, 450, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.micros, micros(costOf(c.totals, c.price, c.longContext))) << &c - cases;
  }
}

// Amounts are whole picodollars, so sums never drift; they are written with every digit and read
// as the nearest double.
TEST(UsageCostTest, AmountsAreWrittenWithEveryDigit) {
  const Picodollars largest = Picodollars(std::numeric_limits<std::int64_t>::max()) * 45'000'000;
  const std::pair<Picodollars, const char*> cases[] = {{84'582'750'000'000, "84.58275"},
                                                       {0, "0"},
                                                       {1, "0.000000000001"},
                                                       {-625'000, "-0.000000625"},
                                                       {2'000'000'000'000, "2"},
                                                       {largest, "415051741658464.911315"}};
  for (const auto& [amount, exact] : cases) {
    EXPECT_EQ(exact, exactDollars(amount));
    EXPECT_EQ(std::stod(exact), dollars(amount)) << exact;
  }
}

}  // namespace
}  // namespace nubrel
