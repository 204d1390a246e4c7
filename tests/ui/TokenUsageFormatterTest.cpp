#include "ui/TokenUsageFormatter.h"

#include <gtest/gtest.h>

#include <limits>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TEST(TokenUsageFormatterTest, CountsPickTheirUnitBeforeRounding) {
  const std::pair<std::int64_t, const char*> cases[] = {{999, "999"},
                                                        {1'000, "1K"},
                                                        {1'234, "1.23K"},
                                                        {1'500, "1.5K"},
                                                        {999'999, "1000K"},
                                                        {1'000'000, "1M"},
                                                        {999'999'999, "1000M"},
                                                        {2'500'000'000, "2.5B"},
                                                        {-999, "-999"},
                                                        {-1'500, "-1.5K"},
                                                        {kMax, "9223372036.85B"},
                                                        {-kMax - 1, "-9223372036.85B"}};
  for (const auto& [count, text] : cases) {
    EXPECT_EQ(text, TokenUsageFormatter{}.formatTokens(count)) << count;
  }
}

// Input includes cached and output includes reasoning: the rows split them, and the summary adds
// the rows, saturating. At the fallback rates: $1.25, $0.125 and $10 per million tokens.
TEST(TokenUsageFormatterTest, RowsSplitTheCountersAndTheSummaryAddsThem) {
  const std::pair<TokenTotals, const char*> cases[] = {
      {{100, 300, 50, 0}, "350 $0.00: 0 $0.00, 300 $0.00, 50 $0.00, 0 $0.00"},
      {{1'000, -5, 10, 400'000}, "401K $4.00: 1K $0.00, -5 $-0.00, 0 $0.00, 400K $4.00"},
      {{kMax, kMax, kMax, kMax},
       "9223372036.85B $93386641873154.61: 0 $0.00, 9223372036.85B "
       "$1152921504606.85, 0 $0.00, 9223372036.85B $92233720368547.77"}};
  for (const auto& [totals, shown] : cases) {
    const UsageCost cost = costOf(totals, PriceTable::kFallback, false);
    std::string text = TokenUsageFormatter{}.summary(totals, cost) + ":";
    for (const auto& row : TokenUsageFormatter{}.breakdown(totals, cost)) {
      text += (text.ends_with(':') ? " " : ", ") + row.tokensText + " " + row.costText;
    }
    EXPECT_EQ(shown, text.replace(text.find(" • "), 5, " "));
  }
}

}  // namespace
}  // namespace nubrel
