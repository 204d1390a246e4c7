#include "pricing/PriceTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace nubrel {
namespace {

constexpr TierRates kMini{.input = 250'000, .cachedInput = 25'000, .output = 2'000'000};

PriceTable table(std::string_view json) {
  return PriceTable::parse(json).value();
}

std::string shippedList() {
  std::ifstream in(NUBREL_PRICE_LIST);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PriceTableTest, AModelFindsItsExactIdThenItsUndatedIdAndNeverAPrefix) {
  const PriceTable prices = table(R"({"models": {
      "gpt-5": {"input": 1.25, "cachedInput": 0.125, "output": 10},
      "gpt-5.1-codex": {"input": 1.5, "cachedInput": 0.15, "output": 12},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
  const struct {
    const char* model;
    std::int64_t input;  // the matched entry's input price; fallback: 1'250'000
    bool fallback;
  } cases[] = {
      {"gpt-5.1-codex-mini", 250'000, false},
      {"gpt-5.1-codex", 1'500'000, false},
      {"gpt-5.1-codex-2025-11-13", 1'500'000, false},
      {"gpt-5.1-codex-mini-2025-11-13", 250'000, false},
      {"gpt-5.1-codex-max", 1'250'000, true},      // not gpt-5.1-codex
      {"gpt-5.1-codex-m", 1'250'000, true},        // not a prefix of mini either
      {"gpt-5.1-codex-2025-11", 1'250'000, true},  // a date is all three parts
      {"gpt-5.1-codex-20251113", 1'250'000, true},
      {"GPT-5", 1'250'000, true},
      {"", 1'250'000, true},
  };
  for (const auto& c : cases) {
    const PriceTable::Match match = prices.find(c.model);
    EXPECT_EQ(c.input, match.price->base.input) << c.model;
    EXPECT_EQ(c.fallback, match.fallback) << c.model;
  }
}

TEST(PriceTableTest, AListWithAnyFaultIsRefusedWhole) {
  const char* const damaged[] = {
      "",
      "not json",
      R"({"models": []})",
      R"({"prices": {}})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1}}})",
      R"({"models": {"a": {"input": "1", "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": -1, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 1e300, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 0.0000001, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1, "output": 2, "cacheWrite": null}}})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1, "output": 2, "longContext": {}}}})",
      R"({"models": {"": {"input": 1, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1, "output": 2}}} trailing)",
  };
  for (const char* json : damaged) {
    EXPECT_FALSE(PriceTable::parse(json)) << json;
  }
}

TEST(PriceTableTest, TheShippedListHoldsEveryModelWithSourceAndDate) {
  const std::string text = shippedList();
  const PriceTable prices = table(text);
  EXPECT_EQ(22u, prices.entries().size());
  EXPECT_EQ(PriceTable::kFallback, *prices.find("gpt-5.1-codex-max").price);
  EXPECT_EQ(kMini, prices.find("gpt-5.1-codex-mini").price->base);
  const ModelPrice& latest = *prices.find("gpt-5.5").price;
  EXPECT_EQ(30'000'000, latest.base.output);
  EXPECT_EQ(45'000'000, latest.longContext.value().output);
  EXPECT_EQ(1'250'000, prices.find("gpt-5.6-luna").price->base.cacheWrite.value());
  std::size_t dated = 0;
  for (std::size_t at = 0; (at = text.find(R"("read": "2026-12-06")", at)) != text.npos; ++at) {
    ++dated;
  }
  EXPECT_EQ(prices.entries().size(), dated);
}

}  // namespace
}  // namespace nubrel
