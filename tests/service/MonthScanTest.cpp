// The month scan.
#include <gtest/gtest.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

using Kind = TokenUsageError::Kind;

class MonthScanTest : public ServiceFixture {
 protected:
  TokenTotals month() { return service_.fetchMonthTotals(at("2025-03-15T12:00:00.000Z")); }

  std::optional<Kind> monthError() {
    try {
      month();
    } catch (const TokenUsageError& error) {
      return error.kind();
    }
    return std::nullopt;
  }
};

TEST_F(MonthScanTest, CountsEachEventOfTheMonthOnceAcrossFiles) {
  const std::string shared = usageLine("2025-03-02T09:00:00.000Z", io(100, 0));
  fs_.addFile(file("2025/03/02/a.jsonl"),
              shared + usageLine("2025-03-02T09:01:00.000Z", io(1, 0)) + shared);
  fs_.addFile(file("2025/03/05/copy.jsonl"), shared);
  EXPECT_EQ(io(101, 0), month());
}

TEST_F(MonthScanTest, RunningTotalsStartOverInEachFile) {
  for (const char* name : {"2025/03/02/a.jsonl", "2025/03/03/b.jsonl"}) {
    fs_.addFile(file(name), tokenLine(std::string("2025-03-0") + name[9] + "T09:00:00.000Z",
                                      io(50, 0), std::nullopt) +
                                tokenLine(std::string("2025-03-0") + name[9] + "T10:00:00.000Z",
                                          io(80, 5), std::nullopt));
  }
  EXPECT_EQ(io(60, 10), month());
}

TEST_F(MonthScanTest, RepeatedRunningTotalsAddNothing) {
  const TokenTotals total = io(40, 4);
  fs_.addFile(file("2025/03/02/a.jsonl"), tokenLine("2025-03-02T09:00:00.000Z", total, total) +
                                              tokenLine("2025-03-02T09:00:03.000Z", total, total));
  EXPECT_EQ(total, month());
}

TEST_F(MonthScanTest, EventsOfOtherMonthsNeitherCountNorBecomeTheBase) {
  fs_.addFile(file("2025/03/01/a.jsonl"),
              tokenLine("2025-02-28T23:00:00.000Z", io(10, 0), std::nullopt) +
                  tokenLine("2025-03-01T01:00:00.000Z", io(30, 0), std::nullopt) +
                  tokenLine("2025-03-01T02:00:00.000Z", io(35, 1), std::nullopt) +
                  usageLine("2025-04-01T00:00:00.000Z", io(9, 9)));
  EXPECT_EQ(io(5, 1), month());
}

TEST_F(MonthScanTest, ReadsOnlyLogFilesAndEveryValidLine) {
  fs_.addFile(file("2025/03/02/a.jsonl"),
              usageLine("2025-03-02T09:00:00.000Z", io(1, 0)) + "{\"x\":\"\xff\"}\n" +
                  usageLine("2025-03-02T09:00:01.000Z", io(2, 0)) +
                  usageLine("2025-03-02T09:00:02.000Z", io(4, 0)).substr(0, 60));
  fs_.addFile(file("2025/03/02/b.JSONL"), usageLine("2025-03-02T09:00:03.000Z", io(8, 0)));
  fs_.addFile(file("2025/03/.hidden/c.jsonl"), usageLine("2025-03-02T09:00:04.000Z", io(16, 0)));
  fs_.addFile(file("2025/03/2/deep/d.jsonl"), usageLine("2025-03-02T09:00:05.000Z", io(32, 0)));
  fs_.addFile(file("2025/03/02/e.jsonl"),
              usageLine("2025-03-02T09:00:06.000Z", io(64, 0)).substr(0, 230) + "}}\n");
  const std::string last = usageLine("2025-03-02T09:00:07.000Z", io(128, 0));
  fs_.addFile(file("2025/03/02/f.jsonl"), last.substr(0, last.size() - 1));  // no LF
  fs_.failOpen(file("2025/03/02/g.jsonl"));
  fs_.addFile(file("2025/03/02/g.jsonl"), usageLine("2025-03-02T09:00:08.000Z", io(256, 0)));
  EXPECT_EQ(io(1 + 2 + 32 + 128, 0), month());
}

TEST_F(MonthScanTest, MonthWithoutEventsIsZeroAndMissingDirectoriesFail) {
  EXPECT_EQ(Kind::missingSessionsDirectory, monthError());
  fs_.addDirectory(kSessions);
  EXPECT_EQ(Kind::missingMonthDirectory, monthError());
  fs_.addFile(file("2025/03"), "a file where the month directory should be");
  EXPECT_EQ(Kind::missingMonthDirectory, monthError()) << "a month that cannot be listed";
  fs_.remove(file("2025/03"));
  fs_.addFile(file("2025/03/02/a.jsonl"), otherLine("2025-03-02T09:00:00.000Z"));
  EXPECT_EQ(TokenTotals{}, month());
}

TEST_F(MonthScanTest, LeavesTheDailyCacheAlone) {
  fs_.addFile(file("2025/03/15/a.jsonl"), usageLine("2025-03-15T09:00:00.000Z", io(3, 0)));
  EXPECT_EQ(io(3, 0), dayTotals("2025-03-15T12:00:00.000Z"));
  const auto states = service_.fileStates();
  EXPECT_EQ(io(3, 0), month());
  EXPECT_EQ(states, service_.fileStates());
  EXPECT_EQ(CacheKey({2025, 3, 15}), service_.cacheKey());
}

}  // namespace
}  // namespace nubrel::testing
