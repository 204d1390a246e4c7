#include "ui/TokenUsageFormatter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TokenTotals totals(std::int64_t input, std::int64_t cached, std::int64_t output,
                   std::int64_t reasoning) {
  return {input, cached, output, reasoning, 0};
}

// At the fallback rates: $1.25, $0.125 and $10 per million tokens.
UsageCost fallbackCost(const TokenTotals& t) {
  return costOf(t, PriceTable::kFallback, false);
}

std::string summary(const TokenTotals& t) {
  return TokenUsageFormatter{}.summary(t, fallbackCost(t));
}

// "Input: 1.6M • $2.00", ... for the four rows.
std::vector<std::string> rows(const TokenTotals& t) {
  std::vector<std::string> texts;
  for (const auto& row : TokenUsageFormatter{}.breakdown(t, fallbackCost(t))) {
    texts.push_back(row.label + ": " + row.tokensText + " \u2022 " + row.costText);
  }
  return texts;
}

TEST(TokenUsageFormatterTest, FormatTokensPicksTheUnitBeforeRounding) {
  const struct {
    std::int64_t count;
    const char* text;
  } cases[] = {{0, "0"},
               {999, "999"},
               {1'000, "1K"},
               {1'500, "1.5K"},
               {1'234, "1.23K"},
               {1'000'000, "1M"},
               {999'999, "1000K"},
               {999'999'999, "1000M"},
               {2'500'000'000, "2.5B"},
               {1'500'000'000'000, "1500B"},
               {-1'500, "-1.5K"},
               {-999, "-999"},
               {kMax, "9223372036.85B"},
               {kMin, "-9223372036.85B"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, TokenUsageFormatter{}.formatTokens(c.count)) << c.count;
  }
}

// The output counter includes the reasoning tokens: the output row holds the rest and the
// summary adds the four rows, so reasoning is counted and charged once.
TEST(TokenUsageFormatterTest, ReasoningIsPartOfTheOutputAndChargedOnce) {
  const TokenTotals t = totals(2'000'000, 400'000, 100'000, 20'000);
  EXPECT_EQ((std::vector<std::string>{"Input: 1.6M \u2022 $2.00", "Cached: 400K \u2022 $0.05",
                                      "Output: 80K \u2022 $0.80", "Reasoning: 20K \u2022 $0.20"}),
            rows(t));
  EXPECT_EQ("2.1M \u2022 $3.05", summary(t));
}

TEST(TokenUsageFormatterTest, SummaryAddsTheFourRows) {
  const struct {
    const char* name;
    TokenTotals totals;
    const char* summary;
  } cases[] = {
      {"all zero", totals(0, 0, 0, 0), "0 \u2022 $0.00"},
      {"cached above input: no uncached input", totals(100, 300, 50, 0), "350 \u2022 $0.00"},
      {"negative cached: input stays whole", totals(1'000, -5, 0, 0), "995 \u2022 $0.00"},
      {"reasoning alone", totals(0, 0, 1'000'000, 1'000'000), "1M \u2022 $10.00"},
      {"reasoning above output", totals(0, 0, 10, 400'000), "400K \u2022 $4.00"},
      {"below half a cent", totals(3'999, 3'999, 0, 0), "4K \u2022 $0.00"},
      {"no grouping", totals(0, 0, 123'450'000, 0), "123.45M \u2022 $1234.50"},
      // Rows of 0, max, 0, max: the count saturates, the cost is max * (0.125 + 10) / 10^6.
      {"largest", totals(kMax, kMax, kMax, kMax), "9223372036.85B \u2022 $93386641873154.61"},
      {"smallest", totals(kMin, kMin, kMin, kMin), "-9223372036.85B \u2022 $-93386641873154.61"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.summary, summary(c.totals)) << c.name;
  }
}

TEST(TokenUsageFormatterTest, RowsAreAlwaysFourWithTheirOwnQuantities) {
  EXPECT_EQ((std::vector<std::string>{"Input: 0 \u2022 $0.00", "Cached: 0 \u2022 $0.00",
                                      "Output: 0 \u2022 $0.00", "Reasoning: 0 \u2022 $0.00"}),
            rows({}));
  EXPECT_EQ((std::vector<std::string>{"Input: 1K \u2022 $0.00", "Cached: -5 \u2022 $-0.00",
                                      "Output: 0 \u2022 $0.00", "Reasoning: 1M \u2022 $10.00"}),
            rows(totals(1'000, -5, 10, 1'000'000)));
}

TEST(TokenUsageFormatterTest, NumbersIgnoreADecimalCommaLocale) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  }
  const std::string text = summary(totals(2'000'000, 0, 0, 0));
  std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_EQ("2M \u2022 $2.50", text);
}

}  // namespace
}  // namespace nubrel
