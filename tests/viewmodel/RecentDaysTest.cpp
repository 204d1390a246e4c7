// The six past days, their labels, and the month: what is asked of the source and what is shown.
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using RecentDaysTest = ViewModelFixture;

TEST_F(RecentDaysTest, PastDaysAreAskedUntilTheyHaveDataAndShownNewestFirst) {
  for (int k = 1; k <= 6; ++k) {
    source_->days[dayKey(k)] = usage(k);
  }
  source_->days[dayKey(2)] = std::nullopt;  // an empty answer
  source_->dayFailures[dayKey(5)] = std::make_exception_ptr(std::runtime_error("unreadable"));
  refreshFully();
  EXPECT_EQ((std::vector<std::string>{"2025-03-21", "2025-03-20", "2025-03-19", "2025-03-18",
                                      "2025-03-17", "2025-03-16", "2025-03-15"}),
            source_->dailyQueries);
  source_->dailyQueries.clear();
  source_->days[dayKey(1)] = usage(999);  // grew later: a day held is not asked again
  source_->days[dayKey(2)] = usage(2);
  refreshFully();
  EXPECT_EQ((std::vector<std::string>{dayKey(0), dayKey(2), dayKey(5)}), source_->dailyQueries);
  std::vector<std::string> shown;
  for (const auto& day : viewModel_->historicalSummaries()) {
    shown.push_back(day.label + ": " + std::to_string(day.totals.inputTokens));
  }
  EXPECT_EQ((std::vector<std::string>{"Yesterday: 1", "19th March 2025: 2", "18th March 2025: 3",
                                      "17th March 2025: 4", "15th March 2025: 6"}),
            shown);
  const std::pair<std::int64_t, const char*> ordinals[] = {
      {2, "2nd"},   {3, "3rd"},   {11, "11th"},   {12, "12th"},  {13, "13th"},
      {21, "21st"}, {22, "22nd"}, {101, "101st"}, {111, "111th"}};
  for (const auto& [day, text] : ordinals) {
    EXPECT_EQ(text, TokenUsageViewModel::ordinalDay(day)) << day;
  }
}

// Whole local dates, also where a daylight-saving change meets midnight: Santiago moved its
// clocks from 00:00 to 01:00 on 11 September 2022 and back to 23:00 on 2 April 2022; Nuuk jumped
// from 22:00 to 23:00 on 30 March 2024.
TEST_F(RecentDaysTest, PlanHoldsTheSixDatesBeforeTodayAndTheMonthOfToday) {
  const struct {
    const char* zone;
    const char* reference;
    const char* month;
    std::vector<std::string> keys;
  } cases[] = {
      {"Europe/Berlin",
       "2025-01-02T09:00:00.000Z",
       "2025-01",
       {"2025-01-01", "2024-12-31", "2024-12-30", "2024-12-29", "2024-12-28", "2024-12-27"}},
      {"America/Santiago",
       "2022-09-13T03:30:00.000Z",
       "2022-09",
       {"2022-09-12", "2022-09-11", "2022-09-10", "2022-09-09", "2022-09-08", "2022-09-07"}},
      {"America/Santiago",
       "2022-04-05T03:30:00.000Z",
       "2022-04",
       {"2022-04-03", "2022-04-02", "2022-04-01", "2022-03-31", "2022-03-30", "2022-03-29"}},
      {"America/Nuuk",
       "2024-04-01T00:30:00.000Z",
       "2024-03",
       {"2024-03-30", "2024-03-29", "2024-03-28", "2024-03-27", "2024-03-26", "2024-03-25"}},
  };
  for (const auto& c : cases) {
    const auto calendar = ZonedCalendar::named(c.zone);
    const auto viewModel = TokenUsageViewModel::make(source_, loop_, clock_, *calendar, *names_,
                                                     preferences_, PriceCatalog({}, {}));
    const auto plan = viewModel->makeHistoricalPlan(at(c.reference));
    std::vector<std::string> keys;
    for (const auto& day : plan.plans) {
      keys.push_back(day.key);
    }
    EXPECT_EQ(c.keys, keys) << c.zone;
    EXPECT_EQ(c.month, plan.monthKey) << c.zone;
  }
}

// Asked at every refresh for the month of the refresh and shown as answered, split by model; a
// month without usage shows nothing.
TEST_F(RecentDaysTest, TheMonthIsShownAsTheSourceAnswersItAtEachRefresh) {
  const std::vector<ModelUsage> models = {{.model = "o9", .longContext = true, .totals = usage(9)}};
  source_->monthModels = {{"2025-03", models}, {"2025-04", models}};
  const std::tuple<const char*, const char*, std::int64_t> steps[] = {
      {"2025-03-21T10:00:00.000Z", "2025-03", 0},  // no answer
      {"2025-03-21T10:05:00.000Z", "2025-03", 1'000},
      {"2025-03-21T10:10:00.000Z", "2025-03", 900},
      {"2025-04-01T08:00:00.000Z", "2025-04", 5}};
  std::vector<std::string> shown;
  for (const auto& [now, key, input] : steps) {
    clock_.set(at(now));
    source_->days[dayKey(0)] = usage(1);
    source_->months.erase(key);
    if (input != 0) {
      source_->months[key] = usage(input);
    }
    refreshFully();
    const auto& month = viewModel_->monthSummary();
    shown.push_back(month ? month->id + " " + month->label + ": " +
                                std::to_string(month->totals.inputTokens)
                          : "none");
    if (month) {
      EXPECT_EQ(models, month->models);
    }
  }
  EXPECT_EQ((std::vector<std::string>{"none", "2025-03 This Month (March 2025): 1000",
                                      "2025-03 This Month (March 2025): 900",
                                      "2025-04 This Month (April 2025): 5"}),
            shown);
  EXPECT_EQ(4u, source_->monthQueries.size());
  EXPECT_EQ(at("2025-03-25T23:00:00.000Z"), source_->readAheadFrom.back())
      << "from the oldest of the six past days, before the month's first";
}

}  // namespace
}  // namespace nubrel::testing
