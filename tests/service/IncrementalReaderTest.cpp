// The incremental reader's transitions, on an in-memory file system.
#include <gtest/gtest.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

class IncrementalReaderTest : public ServiceFixture {
 protected:
  const std::string kFile = "2025/01/31/a.jsonl";
};

TEST_F(IncrementalReaderTest, ReadsOnlyWhatWasAppended) {
  fs_.addFile(file(kFile), usageLine("2025-01-31T09:00:00.000Z", io(100, 10)));
  EXPECT_TRUE(read(kFile, kJan31).changed);
  fs_.append(file(kFile), otherLine("2025-01-31T09:00:01.000Z") +
                              usageLine("2025-01-31T09:00:02.000Z", io(50, 5)));
  fs_.filesOpened.clear();
  EXPECT_TRUE(read(kFile, kJan31).changed);
  EXPECT_EQ(io(150, 15), state_.totals);
  EXPECT_TRUE(state_.hasTargetDayData);

  fs_.filesOpened.clear();
  const auto again = read(kFile, kJan31);
  EXPECT_FALSE(again.changed);
  EXPECT_TRUE(fs_.filesOpened.empty()) << "an unchanged file is not opened";
}

TEST_F(IncrementalReaderTest, ALineWrittenInTwoPartsCountsOnceWhenComplete) {
  const std::string line = usageLine("2025-01-31T09:00:00.000Z", io(7, 3));
  fs_.addFile(file(kFile), line.substr(0, 50));
  read(kFile, kJan31);
  EXPECT_EQ(TokenTotals{}, state_.totals);
  EXPECT_TRUE(state_.leftover.has_value());
  fs_.append(file(kFile), line.substr(50));
  EXPECT_TRUE(read(kFile, kJan31).changed);
  EXPECT_EQ(io(7, 3), state_.totals);
  EXPECT_FALSE(state_.leftover.has_value());
  EXPECT_EQ(line.size(), state_.offset);
}

TEST_F(IncrementalReaderTest, ReplacedOrTruncatedFileIsReadAgainFromTheStart) {
  fs_.addFile(file(kFile), usageLine("2025-01-31T09:00:00.000Z", io(100, 0)));
  read(kFile, kJan31);

  fs_.replace(file(kFile), "");
  const auto replacedEmpty = read(kFile, kJan31);
  EXPECT_TRUE(replacedEmpty.changed) << "a new file number resets even when it is empty";
  EXPECT_EQ(TokenTotals{}, state_.totals);

  fs_.append(file(kFile), usageLine("2025-01-31T10:00:00.000Z", io(5, 0)) +
                              usageLine("2025-01-31T10:00:01.000Z", io(6, 0)));
  read(kFile, kJan31);
  fs_.truncate(file(kFile), usageLine("2025-01-31T10:00:00.000Z", io(5, 0)).size());
  EXPECT_TRUE(read(kFile, kJan31).changed);
  EXPECT_EQ(io(5, 0), state_.totals) << "cut short: read again from byte 0";
}

TEST_F(IncrementalReaderTest, RepeatRules) {
  const std::string first = usageLine("2025-01-31T09:00:00.000Z", io(10, 0));
  const std::string between = usageLine("2025-01-31T09:00:01.000Z", io(1, 0));
  // The same event right after itself is skipped; after another event it counts again, as a
  // later model request logged with the same timestamp and usage would.
  fs_.addFile(file(kFile), first + first + between + first);
  read(kFile, kJan31);
  EXPECT_EQ(io(21, 0), state_.totals);
}

TEST_F(IncrementalReaderTest, RepeatedRunningTotalsUnderANewTimestampAddNothing) {
  // The agent logs the previous usage again before each model request, with both objects.
  const TokenTotals total = io(100, 10);
  fs_.addFile(file(kFile), tokenLine("2025-01-31T09:00:00.000Z", total, total) +
                               tokenLine("2025-01-31T09:00:05.000Z", total, total) +
                               tokenLine("2025-01-31T09:00:09.000Z", io(130, 12), io(30, 2)));
  read(kFile, kJan31);
  EXPECT_EQ(io(130, 12), state_.totals);
}

TEST_F(IncrementalReaderTest, RunningTotalsOnlyCountTheirGrowth) {
  const TokenTotals t1{100, 40, 50, 10, 150};
  const TokenTotals t2{160, 40, 30, 15, 190};  // output went down
  fs_.addFile(file(kFile), tokenLine("2025-01-31T09:00:00.000Z", t1, std::nullopt) +
                               tokenLine("2025-01-31T09:00:01.000Z", t2, std::nullopt));
  read(kFile, kJan31);
  EXPECT_EQ((TokenTotals{60, 0, 0, 0, 40}), state_.totals) << "the first event is only the base";
  EXPECT_EQ(t2, state_.previousTotals);
}

TEST_F(IncrementalReaderTest, EventsOfOtherDaysMoveTheBaseButCountOnTheirOwnDayOnly) {
  // A session started the day before; its file lies in that day's directory.
  const std::string older = "2025/01/30/resumed.jsonl";
  fs_.addFile(file(older), tokenLine("2025-01-30T23:59:00.000Z", io(100, 0), std::nullopt) +
                               tokenLine("2025-01-31T00:01:00.000Z", io(120, 5), std::nullopt) +
                               usageLine("2025-01-30T23:59:59.000Z", io(1000, 0)));
  read(older, kJan31);
  EXPECT_EQ(io(20, 5), state_.totals);

  state_ = {};
  read(older, CacheKey{2025, 1, 30});
  EXPECT_EQ(io(1000, 0), state_.totals) << "the running totals' base was the day's first event";
}

TEST_F(IncrementalReaderTest, SkippedLinesChangeNothing) {
  fs_.addFile(file(kFile), "");
  EXPECT_TRUE(read(kFile, kJan31).changed) << "a file seen for the first time";
  fs_.append(file(kFile),
             usageLine("2025-01-31T09:00:00Z", io(1, 0)) +  // no fraction
                 tokenLine("2025-01-31T09:00:01.000Z", std::nullopt, std::nullopt) +
                 "{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"}}\n" +  // no time
                 "not json\n" + usageLine("2025-01-31T09:00:02.000Z", TokenTotals{}) +
                 "{\"type\":\"event_msg\",\"x\":\"\xC3\"}\n");  // invalid UTF-8, alone
  const auto result = read(kFile, kJan31);
  EXPECT_FALSE(result.changed);
  EXPECT_FALSE(state_.hasTargetDayData);
  EXPECT_EQ(std::nullopt, state_.previousTotals);
  ASSERT_TRUE(state_.lastSignature) << "an event that adds nothing is still the last one";
  EXPECT_EQ("2025-01-31T09:00:02.000Z", state_.lastSignature->timestamp);
}

TEST_F(IncrementalReaderTest, AnInvalidByteCostsOnlyItsOwnLine) {
  fs_.addFile(file(kFile), usageLine("2025-01-31T09:00:00.000Z", io(1, 0)) +
                               otherLine("2025-01-31T09:00:01.000Z") + "\xff\xfe\n" +
                               usageLine("2025-01-31T09:00:02.000Z", io(2, 0)));
  read(kFile, kJan31);
  EXPECT_EQ(io(3, 0), state_.totals);
}

TEST_F(IncrementalReaderTest, FailuresLeaveTheOffsetWhereNothingIsCountedTwice) {
  const std::string a = usageLine("2025-01-31T09:00:00.000Z", io(1, 0));
  const std::string b = usageLine("2025-01-31T09:00:01.000Z", io(2, 0));
  fs_.addFile(file(kFile), a);
  read(kFile, kJan31);
  fs_.append(file(kFile), b);

  fs_.failSeek(file(kFile));
  EXPECT_FALSE(read(kFile, kJan31).changed);
  EXPECT_EQ(a.size(), state_.offset) << "a failed seek must not read from byte 0";

  fs_ = InMemoryFileSystem{};
  fs_.addFile(file(kFile), a + b + b);
  state_ = {};
  fs_.failReadAfter(file(kFile), a.size() + 10);
  read(kFile, kJan31);
  EXPECT_EQ(io(1, 0), state_.totals);
  EXPECT_EQ(a.size() + 10, state_.offset) << "what was read before the failure is consumed";
}

TEST_F(IncrementalReaderTest, UnreadableAttributesResetTheState) {
  fs_.addFile(file(kFile), usageLine("2025-01-31T09:00:00.000Z", io(1, 0)));
  read(kFile, kJan31);
  fs_.failInfo(file(kFile));
  EXPECT_TRUE(read(kFile, kJan31).changed);
  EXPECT_EQ(TokenUsageService::FileState{}, state_);
}

}  // namespace
}  // namespace nubrel::testing
