#include "pricing/PriceTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace nubrel {
namespace {

TEST(PriceTableTest, AModelFindsItsExactIdThenItsUndatedIdAndNeverAPrefix) {
  const PriceTable prices = PriceTable::parse(R"({"models": {
      "gpt-5": {"input": 1.25, "cachedInput": 0.125, "output": 10},
      "gpt-5.1-codex": {"input": 1.5, "cachedInput": 0.15, "output": 12},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})")
                                .value();
  const std::pair<const char*, std::int64_t> cases[] = {// 0: the fallback
                                                        {"gpt-5.1-codex-mini", 250'000},
                                                        {"gpt-5.1-codex", 1'500'000},
                                                        {"gpt-5.1-codex-2025-11-13", 1'500'000},
                                                        {"gpt-5.1-codex-mini-2025-11-13", 250'000},
                                                        {"gpt-5.1-codex-max", 0},
                                                        {"gpt-5.1-codex-m", 0},
                                                        {"gpt-5.1-codex-2025-11", 0},
                                                        {"gpt-5.1-codex-20251113", 0},
                                                        {"GPT-5", 0},
                                                        {"", 0}};
  for (const auto& [model, input] : cases) {
    const PriceTable::Match match = prices.find(model);
    EXPECT_EQ(input == 0, match.fallback) << model;
    EXPECT_EQ(input == 0 ? PriceTable::kFallback.base.input : input, match.price->base.input);
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
      entry + "}}} trailing",
  };
  ASSERT_TRUE(PriceTable::parse(entry + "}}}"));
  for (const std::string& json : damaged) {
    EXPECT_FALSE(PriceTable::parse(json)) << json;
  }
}

// A fault in the shipped list would put every model at the fallback price without a word.
TEST(PriceTableTest, TheShippedListIsSoundAndEachEntrySaysWhenItWasRead) {
  std::stringstream text;
  text << std::ifstream(NUBREL_PRICE_LIST).rdbuf();
  const std::string list = text.str();
  const std::string read = R"("read": "2026-)";
  std::size_t dated = 0;
  for (auto at = list.find(read); at != list.npos; at = list.find(read, at + 1)) {
    ++dated;
  }
  EXPECT_EQ(22u, PriceTable::parse(list).value().entries().size());
  EXPECT_EQ(22u, dated);
}

}  // namespace
}  // namespace nubrel
