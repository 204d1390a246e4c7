// SeenEvents: the month scan's set of met events, against the equality of EventSignature.
#include "service/SeenEvents.h"

#include <gtest/gtest.h>

#include <string>

namespace nubrel {
namespace {

EventSignature signature(std::string timestamp, std::optional<TokenTotals> totals) {
  return EventSignature{.timestamp = std::move(timestamp), .totals = totals};
}

// Distinct signatures of a month: one a second, with running totals that grow.
EventSignature nth(int n) {
  const std::string text = "2026-11-" + std::to_string(10 + n / 86400) + "T00:00:00." +
                           std::to_string(100 + n % 900) + "Z#" + std::to_string(n);
  return signature(text, TokenTotals{.inputTokens = n, .totalTokens = n});
}

TEST(SeenEventsTest, EachSignatureIsNewOnlyOnce) {
  const TokenTotals usage{.inputTokens = 5, .totalTokens = 5};
  const struct {
    EventSignature first;
    EventSignature second;
    bool secondIsNew;
  } cases[] = {
      {signature("2026-11-03T09:15:02.123Z", usage), signature("2026-11-03T09:15:02.123Z", usage),
       false},
      {signature("2026-11-03T09:15:02.123Z", usage), signature("2026-11-03T09:15:02.124Z", usage),
       true},
      {signature("2026-11-03T09:15:02.123Z", usage),
       signature("2026-11-03T09:15:02.123Z", TokenTotals{.inputTokens = 5, .totalTokens = 6}),
       true},
      {signature("2026-11-03T09:15:02.123Z", std::nullopt),
       signature("2026-11-03T09:15:02.123Z", TokenTotals{}), true},
      {signature("2026-11-03T09:15:02.123Z", std::nullopt),
       signature("2026-11-03T09:15:02.123Z", std::nullopt), false},
      {signature("2026-11-03T09:15:02.12", usage), signature("2026-11-03T09:15:02.123", usage),
       true},
  };
  for (const auto& c : cases) {
    SeenEvents seen;
    EXPECT_TRUE(seen.insert(c.first)) << c.first.timestamp;
    EXPECT_EQ(c.secondIsNew, seen.insert(c.second)) << c.second.timestamp;
    EXPECT_FALSE(seen.insert(c.first)) << c.first.timestamp;
  }
}

// Many entries, through several doublings of the table, with a good hash and with none at all.
TEST(SeenEventsTest, ManyEntriesStayFoundAcrossGrowthAndCollisions) {
  const struct {
    const char* label;
    SeenEvents::Hash hash;
    int count;
  } cases[] = {
      {"real hash", &SeenEvents::defaultHash, 50'000},
      {"every hash equal", [](const EventSignature&) -> std::size_t { return 7; }, 2'000},
  };
  for (const auto& c : cases) {
    SeenEvents seen(c.hash);
    for (int n = 0; n < c.count; ++n) {
      ASSERT_TRUE(seen.insert(nth(n))) << c.label << " " << n;
    }
    for (int n = 0; n < c.count; ++n) {
      ASSERT_FALSE(seen.insert(nth(n))) << c.label << " " << n;
    }
    EXPECT_EQ(std::size_t(c.count), seen.size()) << c.label;
  }
}

}  // namespace
}  // namespace nubrel
