// The view model: its staged refresh, its timer, its error rules and the past days.
#include "viewmodel/TokenUsageViewModel.h"

#include <stdexcept>
#include <utility>

#include "service/TokenUsageError.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using std::chrono::seconds;
using TokenUsageViewModelTest = ViewModelFixture;

// The logs are read in slices, a turn of the loop each, from the month's first day (older here
// than the sixth past day); then today is asked, then the past days and the month; nothing is
// published before the last stage, whose time is read anew.
TEST_F(TokenUsageViewModelTest, RefreshRunsInStagesWithTheLoopBetweenThem) {
  source_->days[dayKey(0)] = usage(1000);
  source_->limits = RateLimitSnapshot{{}, at("2025-03-21T09:00:00.000Z")};
  source_->slicesLeft = 2;
  start();
  EXPECT_EQ("Loading…", viewModel_->menuBarTitle());
  std::vector<std::string> turns;  // reads, day queries, month queries after each turn
  while (loop_.runOne()) {
    clock_.advance(seconds(1));
    turns.push_back(std::to_string(source_->readAheadFrom.size()) + " " +
                    std::to_string(source_->dailyQueries.size()) + " " +
                    std::to_string(source_->monthQueries.size()) +
                    (viewModel_->todayTotals() ? " published" : ""));
  }
  EXPECT_EQ(
      (std::vector<std::string>{"1 0 0", "2 0 0", "3 0 0", "3 1 0", "3 7 1", "3 7 1 published"}),
      turns);
  EXPECT_EQ(at("2025-03-01T00:00:00.000+01:00"), source_->readAheadFrom.back());
  EXPECT_EQ(usage(1000), viewModel_->todayTotals());
  EXPECT_EQ(source_->limits, viewModel_->rateLimits());
  EXPECT_EQ(clock_.now() - seconds(1), viewModel_->lastUpdated());
}

// Each refresh asks for today and the six past days, none of which has logs here.
TEST_F(TokenUsageViewModelTest, TimerRefreshesEvery300SecondsWhileTheViewModelLives) {
  refreshFully();
  loop_.advance(seconds(299));
  EXPECT_FALSE(viewModel_->isLoading());
  loop_.advance(seconds(1));
  EXPECT_TRUE(viewModel_->isLoading());
  loop_.advance(seconds(300));  // while that job still waits: lost
  loop_.runUntilIdle();
  loop_.advance(seconds(299));
  EXPECT_EQ(14u, source_->dailyQueries.size());
  loop_.advance(seconds(1));
  EXPECT_TRUE(viewModel_->isLoading());
  const std::weak_ptr<TokenUsageViewModel> weak = std::exchange(viewModel_, nullptr);
  EXPECT_TRUE(weak.expired()) << "neither the waiting job nor the timer keeps the view model";
  loop_.runUntilIdle();
  loop_.advance(seconds(300));
  EXPECT_EQ(14u, source_->dailyQueries.size());
}

// After a good refresh, one whose query of today fails: what shows, and what is kept.
TEST_F(TokenUsageViewModelTest, FailuresOfTodaysQueryFollowTheErrorRules) {
  const auto sessionsMissing =
      std::make_exception_ptr(TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory));
  struct NotAStdException {};
  const std::tuple<std::exception_ptr, bool, const char*> cases[] = {
      {nullptr, false, "0 • $0.00 | - | 6 days, month | updated"},  // no data today
      {sessionsMissing, false, "0 • $0.00 | - | 0 days | updated"},
      {sessionsMissing, true, "0 • $0.00 | - | 6 days, month | updated"},  // agent seen before
      {std::make_exception_ptr(std::runtime_error("disk on fire")), true,
       "Token Usage | disk on fire | 0 days | not updated"},
      {std::make_exception_ptr(NotAStdException{}), false,
       "Token Usage | The token usage could not be read. | 0 days | not updated"}};
  for (const auto& [error, seenBefore, shown] : cases) {
    viewModel_.reset();
    for (int k = 0; k <= 6; ++k) {
      source_->days[dayKey(k)] = usage(10);
    }
    source_->months["2025-03"] = usage(70);
    source_->dayFailures[dayKey(0)] = nullptr;
    refreshFully();
    preferences_.values[TokenUsageViewModel::kHasSeenUsageDataKey] = seenBefore;
    source_->days.erase(dayKey(0));
    source_->dayFailures[dayKey(0)] = error;
    clock_.advance(seconds(1));
    refreshFully();
    const TokenUsageViewModel& model = *viewModel_;
    EXPECT_EQ(shown, model.menuBarTitle() + " | " + model.errorMessage().value_or("-") + " | " +
                         std::to_string(model.historicalSummaries().size()) + " days" +
                         (model.monthSummary() ? ", month" : "") +
                         (model.lastUpdated() == clock_.now() ? " | updated" : " | not updated"));
  }
}

TEST_F(TokenUsageViewModelTest, PastDaysAreAskedUntilTheyHaveDataAndShownNewestFirst) {
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

// Nuuk's clocks jumped from 22:00 to 23:00 on 30 March 2024: 23:30 on the 31st stepped back by
// 24 hours falls in the gap and lands on the 31st again.
TEST_F(TokenUsageViewModelTest, PastDaysStepBackWholeDatesWhereAClockChangeMeetsMidnight) {
  const auto nuuk = ZonedCalendar::named("America/Nuuk");
  const auto model = TokenUsageViewModel::make(std::make_shared<ScriptedTokenUsageSource>(*nuuk),
                                               loop_, clock_, *nuuk, *names_, preferences_,
                                               PriceCatalog(prices_.path() / "prices.json", {}));
  std::string keys;
  for (const auto& plan : model->makeHistoricalPlan(at("2024-04-01T00:30:00.000Z")).plans) {
    keys += plan.key + " ";
  }
  EXPECT_EQ("2024-03-30 2024-03-29 2024-03-28 2024-03-27 2024-03-26 2024-03-25 ", keys);
}

}  // namespace
}  // namespace nubrel::testing
