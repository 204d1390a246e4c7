// The daily query: its cache and its errors.
#include "service/TokenUsageService.h"

#include <gtest/gtest.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

using Kind = TokenUsageError::Kind;

class TokenUsageServiceTest : public ServiceFixture {
 protected:
  void addEvent(const std::string& relative, std::string_view timestamp, TokenTotals last) {
    fs_.append(file(relative), usageLine(timestamp, last));
  }

  // The kind of TokenUsageError the daily query throws, or nullopt if it succeeds.
  std::optional<Kind> dailyError(std::string_view timestamp) {
    try {
      service_.fetchDailyUsage(at(timestamp));
    } catch (const TokenUsageError& error) {
      return error.kind();
    }
    return std::nullopt;
  }
};

TEST_F(TokenUsageServiceTest, FirstCallReturnsTheDayWithItsKeyAndMidnight) {
  addEvent("2025/01/31/a.jsonl", "2025-01-31T09:00:00.000Z", io(100, 20));
  addEvent("2025/01/31/b.jsonl", "2025-01-31T10:00:00.000Z", io(1, 2));
  const auto usage = service_.fetchDailyUsage(at("2025-01-31T12:00:00.000Z"));
  ASSERT_EQ(1u, usage.size());
  EXPECT_EQ("2025-01-31", usage[0].id);
  EXPECT_EQ("2025-01-31", usage[0].displayDate);
  EXPECT_EQ(at("2025-01-31T00:00:00.000Z"), usage[0].date);
  EXPECT_EQ(io(101, 22), usage[0].totals);
}

TEST_F(TokenUsageServiceTest, FollowsAppendsAndDeletionsWithinTheDay) {
  addEvent("2025/01/31/a.jsonl", "2025-01-31T09:00:00.000Z", io(100, 0));
  addEvent("2025/01/31/b.jsonl", "2025-01-31T09:00:00.000Z", io(10, 0));
  EXPECT_EQ(io(110, 0), dayTotals("2025-01-31T12:00:00.000Z"));
  addEvent("2025/01/31/a.jsonl", "2025-01-31T12:30:00.000Z", io(5, 0));
  EXPECT_EQ(io(115, 0), dayTotals("2025-01-31T13:00:00.000Z"));
  fs_.remove(file("2025/01/31/b.jsonl"));
  EXPECT_EQ(io(105, 0), dayTotals("2025-01-31T13:00:00.000Z"));
  EXPECT_EQ(1u, service_.fileStates().size());
}

TEST_F(TokenUsageServiceTest, AnotherDayStartsOverAndGivesWhatAFreshServiceGives) {
  addEvent("2025/01/30/a.jsonl", "2025-01-30T09:00:00.000Z", io(7, 0));
  addEvent("2025/01/31/b.jsonl", "2025-01-31T09:00:00.000Z", io(100, 0));
  EXPECT_EQ(io(100, 0), dayTotals("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(7, 0), dayTotals("2025-01-30T12:00:00.000Z"));
  fs_.filesOpened.clear();
  EXPECT_EQ(io(100, 0), dayTotals("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(2u, fs_.filesOpened.size()) << "today's files are read again from the start";
}

TEST_F(TokenUsageServiceTest, MissingSessionsDirectoryChangesNothing) {
  EXPECT_EQ(Kind::missingSessionsDirectory, dailyError("2025-01-31T12:00:00.000Z"));
  EXPECT_STREQ("Expected to find ~/.codex/sessions but it is missing.",
               TokenUsageError(Kind::missingSessionsDirectory).what());
  EXPECT_EQ(std::nullopt, service_.cacheKey());
  addEvent("2025/01/31/a.jsonl", "2025-01-31T09:00:00.000Z", io(3, 0));
  EXPECT_EQ(io(3, 0), dayTotals("2025-01-31T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, ADayWithoutTokenDataIsReportedUntilDataArrives) {
  fs_.addDirectory(kSessions);
  EXPECT_EQ(Kind::missingMonthDirectory, dailyError("2025-01-31T12:00:00.000Z"));
  EXPECT_STREQ("No token logs found for today inside ~/.codex/sessions.",
               TokenUsageError(Kind::missingMonthDirectory).what());

  fs_.addFile(file("2025/01/31/a.jsonl"), otherLine("2025-01-31T09:00:00.000Z"));
  EXPECT_EQ(Kind::missingMonthDirectory, dailyError("2025-01-31T12:00:00.000Z"));
  addEvent("2025/01/31/a.jsonl", "2025-01-31T12:30:00.000Z", io(4, 0));
  EXPECT_EQ(io(4, 0), dayTotals("2025-01-31T13:00:00.000Z"));
  EXPECT_EQ(Kind::missingMonthDirectory, dailyError("2025-01-20T13:00:00.000Z"))
      << "a past day without data fails the same way";
}

TEST_F(TokenUsageServiceTest, UnchangedDayReturnsTheCachedResultAfterReadingEveryFile) {
  addEvent("2025/01/31/a.jsonl", "2025-01-31T09:00:00.000Z", io(1, 0));
  addEvent("2025/01/29/b.jsonl", "2025-01-29T09:00:00.000Z", io(1, 0));
  const auto first = service_.fetchDailyUsage(at("2025-01-31T12:00:00.000Z"));
  const auto second = service_.fetchDailyUsage(at("2025-01-31T12:05:00.000Z"));
  EXPECT_EQ(first.front().totals, second.front().totals);
  EXPECT_EQ(first.front().id, second.front().id);
  EXPECT_EQ(2u, service_.fileStates().size()) << "files that counted nothing keep a state";
}

}  // namespace
}  // namespace nubrel::testing
