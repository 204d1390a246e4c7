// The six-day plan, the history query and the labels of the recent days.
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

class RecentDaysTest : public ViewModelFixture {
 protected:
  explicit RecentDaysTest(std::string_view zone = "Europe/Berlin") : ViewModelFixture(zone) {}

  std::vector<std::string> pastQueries() const {
    return {source_->dailyQueries.begin() + 1, source_->dailyQueries.end()};
  }
  std::vector<std::string> labels() const {
    std::vector<std::string> result;
    for (const auto& summary : viewModel_->historicalSummaries()) {
      result.push_back(summary.label);
    }
    return result;
  }
};

TEST_F(RecentDaysTest, PastDaysAreAskedNewestFirstUntilTheyHaveData) {
  setWeek(usage(5));
  source_->days[dayKey(2)] = std::nullopt;  // an empty answer
  source_->dayFailures[dayKey(5)] = std::make_exception_ptr(std::runtime_error("unreadable"));
  source_->months["2025-03"] = usage(100);
  refreshFully();
  EXPECT_EQ((std::vector<std::string>{"2025-03-20", "2025-03-19", "2025-03-18", "2025-03-17",
                                      "2025-03-16", "2025-03-15"}),
            pastQueries());
  EXPECT_EQ((std::vector<std::string>{"Yesterday", "18th March 2025", "17th March 2025",
                                      "15th March 2025"}),
            labels());

  source_->dailyQueries.clear();
  source_->days[dayKey(1)] = usage(999);  // grew later: a cached day is not asked again
  refreshFully();
  EXPECT_EQ((std::vector<std::string>{dayKey(2), dayKey(5)}), pastQueries());
  EXPECT_EQ(2u, source_->monthQueries.size()) << "the month is asked at every refresh";
  EXPECT_EQ(usage(5), viewModel_->historicalSummaries().front().totals);
}

TEST_F(RecentDaysTest, OrdinalSuffixFollowsTheTensDigit) {
  const struct {
    std::int64_t day;
    const char* text;
  } cases[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},     {4, "4th"},    {11, "11th"},
               {12, "12th"}, {13, "13th"}, {21, "21st"},   {22, "22nd"},  {23, "23rd"},
               {30, "30th"}, {31, "31st"}, {101, "101st"}, {111, "111th"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, TokenUsageViewModel::ordinalDay(c.day)) << c.day;
  }
}

TEST_F(RecentDaysTest, FirstDaysOfJanuaryReachIntoDecemberOfTheYearBefore) {
  start();
  const auto plan = viewModel_->makeHistoricalPlan(at("2025-01-02T09:00:00.000Z"));
  ASSERT_EQ(6u, plan.plans.size());
  EXPECT_EQ("2025-01-01", plan.plans[0].key);
  EXPECT_TRUE(plan.plans[0].isYesterday);
  EXPECT_EQ("2024-12-27", plan.plans[5].key);
  EXPECT_FALSE(plan.plans[5].isYesterday);
  EXPECT_EQ("31st December 2024", viewModel_->dayLabel(plan.plans[1].date));
  EXPECT_EQ("2025-01", plan.monthKey);
}

// Santiago moved its clocks from 00:00 to 01:00 on 11 September 2022 and from 00:00 back to
// 23:00 on 2 April 2022.
class RecentDaysAcrossDaylightSavingTest : public RecentDaysTest {
 protected:
  RecentDaysAcrossDaylightSavingTest() : RecentDaysTest("America/Santiago") {}
};

TEST_F(RecentDaysAcrossDaylightSavingTest, PlanHoldsSixDistinctConsecutiveDays) {
  start();
  const struct {
    const char* reference;
    std::vector<std::string> keys;
  } cases[] = {
      // 00:30 local: the 11th has no 00:30, and a fixed 48 h step lands on the 10th.
      {"2022-09-13T03:30:00.000Z",
       {"2022-09-12", "2022-09-11", "2022-09-10", "2022-09-09", "2022-09-08", "2022-09-07"}},
      // 23:30 local: the 2nd has it twice, and a fixed 72 h step lands on the 2nd again.
      {"2022-04-05T03:30:00.000Z",
       {"2022-04-03", "2022-04-02", "2022-04-01", "2022-03-31", "2022-03-30", "2022-03-29"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> keys;
    for (const auto& plan : viewModel_->makeHistoricalPlan(at(c.reference)).plans) {
      keys.push_back(plan.key);
    }
    EXPECT_EQ(c.keys, keys) << c.reference;
  }
}

// Nuuk's clocks jumped from 22:00 to 23:00 on 30 March 2024, so 23:30 on the 31st, stepped back
// by a day, would fall in the gap and land on the 31st again.
class RecentDaysInNuukTest : public RecentDaysTest {
 protected:
  RecentDaysInNuukTest() : RecentDaysTest("America/Nuuk") {}
};

TEST_F(RecentDaysInNuukTest, AGapThatEndsAtMidnightSkipsNoDay) {
  start();
  std::vector<std::string> keys;
  for (const auto& plan : viewModel_->makeHistoricalPlan(at("2024-04-01T00:30:00.000Z")).plans) {
    keys.push_back(plan.key);
  }
  EXPECT_EQ((std::vector<std::string>{"2024-03-30", "2024-03-29", "2024-03-28", "2024-03-27",
                                      "2024-03-26", "2024-03-25"}),
            keys);
}

}  // namespace
}  // namespace nubrel::testing
