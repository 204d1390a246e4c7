// Prices: the lists and their reading, which entry a model finds, and what usage costs.
#include "pricing/UsageCost.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "pricing/PriceCatalog.h"
#include "support/TempDir.h"

namespace nubrel::testing {
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
  const std::pair<Picodollars, const char*> cases[] = {
      {0, "0"}, {1, "0.000000000001"}, {-625'000, "-0.000000625"}, {2'000'000'000'000, "2"}};
  EXPECT_EQ("415051741658464.911315", exactDollars(largest));
  for (const auto& [amount, exact] : cases) {
    EXPECT_EQ(exact, exactDollars(amount));
    EXPECT_EQ(std::stod(exact), dollars(amount)) << exact;
  }
}

TEST(PriceTableTest, AModelFindsItsExactIdThenItsUndatedIdAndNeverAPrefix) {
  const PriceTable prices = PriceTable::parse(R"({"models": {
      "gpt-5.1-codex": {"input": 1.5, "cachedInput": 0.15, "output": 12},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})")
                                .value();
  EXPECT_EQ(250'000, prices.find("gpt-5.1-codex-mini").price->base.input);
  EXPECT_EQ(1'500'000, prices.find("gpt-5.1-codex-2025-11-13").price->base.input);
  EXPECT_EQ(250'000, prices.find("gpt-5.1-codex-mini-2025-11-13").price->base.input);
  for (const char* model : {"gpt-5.1-codex-max", "gpt-5.1-codex-m", "gpt-5.1-codex-2025-11",
                            "gpt-5.1-codex-20251113", "GPT-5.1-codex", ""}) {
    EXPECT_TRUE(prices.find(model).fallback) << model;
    EXPECT_EQ(PriceTable::kFallback, *prices.find(model).price);
  }
}

TEST(PriceTableTest, AListWithAnyFaultIsRefusedWhole) {
  const std::string entry = R"({"models": {"a": {"input": 1, "cachedInput": 0.1, "output": 2)";
  const std::string damaged[] = {
      "",
      "not json",
      R"({"models": []})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1}}})",
      R"({"models": {"a": {"input": "1", "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": -1, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 1e300, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 0.0000001, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"": {"input": 1, "cachedInput": 0.1, "output": 2}}})",
      entry + R"(, "cacheWrite": null}}})",
      entry + R"(, "longContext": {}}}})",
      entry + "}}} trailing"};
  ASSERT_TRUE(PriceTable::parse(entry + "}}}"));
  for (const std::string& json : damaged) {
    EXPECT_FALSE(PriceTable::parse(json)) << json;
  }
  // The shipped list must stay sound: a fault would put every model at the fallback price.
  std::stringstream shipped;
  shipped << std::ifstream(NUBREL_PRICE_LIST).rdbuf();
  EXPECT_EQ(22u, PriceTable::parse(shipped.str()).value().entries().size());
}

// Both lists are read at each load; the user's replaces and adds entries when it is sound, and is
// ignored whole when it has a fault, is huge, or is a FIFO (which must not block the refresh).
TEST(PriceTableTest, TheUsersListOverridesTheBuiltInOneWhenItIsSound) {
  TempDir dir;
  const PriceCatalog catalog{dir.path() / "share/prices.json", dir.path() / "config/prices.json"};
  const auto input = [&](const char* id) { return catalog.load().find(id).price->base.input; };
  EXPECT_EQ(1'250'000, input("gpt-5.5")) << "without any list, the fallback";
  dir.write("share/prices.json", R"({"models": {
      "gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
  const std::string user = R"({"models": {
      "gpt-5.5": {"input": 4, "cachedInput": 0.4, "output": 20},
      "my-model": {"input": 0.5, "cachedInput": 0.05, "output": 1})";
  dir.write("config/prices.json", user + "}}");
  EXPECT_EQ(4'000'000, input("gpt-5.5"));
  EXPECT_EQ(500'000, input("my-model"));
  EXPECT_EQ(250'000, input("gpt-5.1-codex-mini"));
  for (const std::string& unsound :
       {user + R"(, "broken": {"input": 4}}})", user + "}}" + std::string(1 << 20, ' ')}) {
    dir.write("config/prices.json", unsound);
    EXPECT_EQ(5'000'000, input("gpt-5.5"));
  }
  std::filesystem::remove(dir.path() / "config/prices.json");
  ASSERT_EQ(0, ::mkfifo((dir.path() / "config/prices.json").c_str(), 0600));
  EXPECT_EQ(5'000'000, input("gpt-5.5"));
}

}  // namespace
}  // namespace nubrel::testing
