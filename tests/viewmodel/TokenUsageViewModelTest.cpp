// The view model: its staged refresh, its timer, its error rules, the past days and the month.
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
  EXPECT_EQ("Loading\u2026", viewModel_->menuBarTitle());
  for (int turn = 0; turn < 3; ++turn) {
    ASSERT_TRUE(loop_.runOne());
  }
  EXPECT_EQ(std::vector(3, at("2025-03-01T00:00:00.000+01:00")), source_->readAheadFrom);
  EXPECT_TRUE(source_->dailyQueries.empty());
  ASSERT_TRUE(loop_.runOne());
  EXPECT_EQ(1u, source_->dailyQueries.size());
  ASSERT_TRUE(loop_.runOne());
  EXPECT_EQ(7u, source_->dailyQueries.size());
  EXPECT_EQ(1u, source_->monthQueries.size());
  EXPECT_FALSE(viewModel_->todayTotals());
  clock_.advance(seconds(3));
  ASSERT_TRUE(loop_.runOne());
  EXPECT_FALSE(loop_.runOne());
  EXPECT_FALSE(viewModel_->isLoading());
  EXPECT_EQ(usage(1000), viewModel_->todayTotals());
  EXPECT_EQ(source_->limits, viewModel_->rateLimits());
  EXPECT_EQ(clock_.now(), viewModel_->lastUpdated());
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

TEST_F(TokenUsageViewModelTest, FailuresOfTodaysQueryFollowTheErrorRules) {
  const auto sessionsMissing =
      std::make_exception_ptr(TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory));
  struct NotAStdException {};
  const struct {
    std::exception_ptr error;  // nullptr: no data today
    bool seenBefore, keepsHistory;
    const char* message;
  } cases[] = {
      {nullptr, false, true, nullptr},
      {sessionsMissing, false, false, nullptr},
      {sessionsMissing, true, true, nullptr},
      {std::make_exception_ptr(std::runtime_error("disk on fire")), true, false, "disk on fire"},
      {std::make_exception_ptr(NotAStdException{}), false, false,
       "The token usage could not be read."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    viewModel_.reset();
    for (int k = 0; k <= 6; ++k) {
      source_->days[dayKey(k)] = usage(10);
    }
    source_->months["2025-03"] = usage(70);
    source_->dayFailures[dayKey(0)] = nullptr;
    refreshFully();
    const auto updatedBefore = viewModel_->lastUpdated();
    preferences_.values[TokenUsageViewModel::kHasSeenUsageDataKey] = c.seenBefore;
    source_->days.erase(dayKey(0));
    source_->dayFailures[dayKey(0)] = c.error;
    clock_.advance(seconds(1));
    refreshFully();
    EXPECT_TRUE(viewModel_->dailyUsages().empty());
    EXPECT_EQ(c.message ? std::nullopt : std::optional(TokenTotals::zero()),
              viewModel_->todayTotals());
    EXPECT_EQ(c.message ? std::optional<std::string>(c.message) : std::nullopt,
              viewModel_->errorMessage());
    EXPECT_EQ(c.keepsHistory ? 6u : 0u, viewModel_->historicalSummaries().size());
    EXPECT_EQ(c.keepsHistory, viewModel_->monthSummary().has_value());
    EXPECT_EQ(c.message ? updatedBefore : clock_.now(), viewModel_->lastUpdated());
    EXPECT_EQ(c.message ? "Token Usage" : "0 • $0.00", viewModel_->menuBarTitle());
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

// Asked at every refresh, for the month of the refresh, and shown as answered; none without usage.
TEST_F(TokenUsageViewModelTest, TheMonthIsShownAsTheSourceAnswersItAtEachRefresh) {
  refreshFully();
  EXPECT_FALSE(viewModel_->monthSummary());
  source_->months["2025-03"] = usage(1'000);
  source_->monthModels["2025-03"] = {{.model = "o9", .longContext = true, .totals = usage(9)}};
  refreshFully();
  EXPECT_EQ(source_->monthModels["2025-03"], viewModel_->monthSummary().value().models);
  EXPECT_EQ("This Month (March 2025)", viewModel_->monthSummary()->label);
  clock_.set(at("2025-04-01T08:00:00.000Z"));
  source_->months["2025-04"] = usage(5);
  refreshFully();
  EXPECT_EQ("2025-04", viewModel_->monthSummary()->id);
  EXPECT_EQ("This Month (April 2025)", viewModel_->monthSummary()->label);
  EXPECT_EQ(usage(5), viewModel_->monthSummary()->totals);
  EXPECT_EQ((std::vector<std::string>{"2025-03", "2025-03", "2025-04"}), source_->monthQueries);
  EXPECT_EQ(at("2025-03-25T23:00:00.000Z"), source_->readAheadFrom.back())
      << "from the oldest of the six past days, before the month's first";
}

}  // namespace
}  // namespace nubrel::testing
