#include "pricing/UsageCost.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace nubrel {
namespace {

// gpt-5.5's rates, a long tier, and a cache-write price of $6.25 per million tokens.
constexpr ModelPrice kPrice{
    .base = {.input = 5'000'000, .cachedInput = 500'000, .output = 30'000'000},
    .longContext = TierRates{.input = 10'000'000, .cachedInput = 1'000'000, .output = 45'000'000}};
constexpr ModelPrice kWithWrites{
    .base = {
        .input = 5'000'000, .cachedInput = 500'000, .output = 30'000'000, .cacheWrite = 6'250'000}};

// Picodollars to micro-dollars, for readable expectations; exact in every case below.
std::array<std::int64_t, kRowCount> micros(const UsageCost& cost) {
  std::array<std::int64_t, kRowCount> rows{};
  for (std::size_t i = 0; i < kRowCount; ++i) {
    rows[i] = static_cast<std::int64_t>(cost.rows[i] / 1'000'000);
  }
  return rows;
}

TEST(UsageCostTest, EachCounterIsPricedOnceAtItsRate) {
  using Rows = std::array<std::int64_t, kRowCount>;
  const struct {
    const char* name;
    TokenTotals totals;
    const ModelPrice& price;
    bool longContext;
    Rows micros;
  } cases[] = {
      {"uncached input", {.inputTokens = 1'000}, kPrice, false, {5'000, 0, 0, 0}},
      {"cached input",
       {.inputTokens = 1'000, .cachedInputTokens = 1'000},
       kPrice,
       false,
       {0, 500, 0, 0}},
      {"output holds reasoning",
       {.outputTokens = 100, .reasoningOutputTokens = 40},
       kPrice,
       false,
       {0, 0, 1'800, 1'200}},
      {"long tier",
       {.inputTokens = 300'000, .cachedInputTokens = 100'000, .outputTokens = 10},
       kPrice,
       true,
       {2'000'000, 100'000, 450, 0}},
      {"no long tier: base rates",
       {.inputTokens = 300'000},
       kWithWrites,
       true,
       {1'500'000, 0, 0, 0}},
      {"cache writes at their price",
       {.inputTokens = 1'000, .cachedInputTokens = 200, .cacheWriteInputTokens = 300},
       kWithWrites,
       false,
       {500 * 5 + 300 * 6 + 75, 100, 0, 0}},
      {"cache writes without a price: input rate",
       {.inputTokens = 1'000, .cachedInputTokens = 200, .cacheWriteInputTokens = 300},
       kPrice,
       false,
       {4'000, 100, 0, 0}},
      {"cache writes above the uncached input are capped",
       {.inputTokens = 1'000, .cachedInputTokens = 900, .cacheWriteInputTokens = 500},
       kWithWrites,
       false,
       {625, 450, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.micros, micros(costOf(c.totals, c.price, c.longContext))) << c.name;
  }
}

TEST(UsageCostTest, ModelsArePricedApartAndNoModelMeansTheFallback) {
  const PriceTable prices({{"gpt-5.5", kPrice}});
  const TokenTotals total{.inputTokens = 2'000'000, .outputTokens = 2'000};
  const std::vector<ModelUsage> models = {
      {.model = "", .longContext = false, .totals = {.inputTokens = 1'000'000}},
      {.model = "gpt-5.5", .longContext = false, .totals = {.inputTokens = 500'000}},
      {.model = "gpt-5.5", .longContext = true, .totals = {.inputTokens = 500'000}},
      {.model = "o9", .longContext = false, .totals = {.outputTokens = 2'000}}};
  EXPECT_EQ((std::array<std::int64_t, kRowCount>{1'250'000 + 2'500'000 + 5'000'000, 0, 20'000, 0}),
            micros(costOf(total, models, prices)));
  EXPECT_EQ((std::array<std::int64_t, kRowCount>{2'500'000, 0, 20'000, 0}),
            micros(costOf(total, {}, prices)));
}

// A month of small requests at a price with three decimals: the sum of the request costs is
// exactly the cost of the summed counters, which a sum of doubles is not.
TEST(UsageCostTest, AMonthOfRequestsSumsWithoutDrift) {
  const ModelPrice price{
      .base = {.input = 1'750'000, .cachedInput = 175'000, .output = 14'000'000}};
  const TokenTotals request{.inputTokens = 1'237,
                            .cachedInputTokens = 411,
                            .outputTokens = 93,
                            .reasoningOutputTokens = 17};
  UsageCost sum;
  TokenTotals month;
  for (int i = 0; i < 30 * 1'000; ++i) {
    sum += costOf(request, price, false);
    month += request;
  }
  EXPECT_EQ(costOf(month, price, false), sum);
  EXPECT_EQ("84.58275", exactDollars(sum.total()));
  EXPECT_EQ(84.58275, dollars(sum.total()));
}

TEST(UsageCostTest, AmountsAreWrittenExactlyAndReadAsTheNearestDouble) {
  const Picodollars largest = Picodollars(std::numeric_limits<std::int64_t>::max()) * 45'000'000;
  const struct {
    Picodollars amount;
    const char* exact;
  } cases[] = {{0, "0"},
               {1, "0.000000000001"},
               {5'000'000'000, "0.005"},
               {-625'000, "-0.000000625"},
               {2'000'000'000'000, "2"},
               {largest, "415051741658464.911315"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.exact, exactDollars(c.amount)) << c.exact;
    EXPECT_EQ(std::stod(c.exact), dollars(c.amount)) << c.exact;
  }
}

}  // namespace
}  // namespace nubrel
