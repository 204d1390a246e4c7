#include "viewmodel/TokenUsageViewModel.h"

#include <stdexcept>

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
TEST_F(TokenUsageViewModelTest, TimerRefreshesEvery300SecondsAndAFiringDuringAJobIsLost) {
  refreshFully();
  loop_.advance(seconds(299));
  EXPECT_FALSE(viewModel_->isLoading());
  loop_.advance(seconds(1));
  loop_.advance(seconds(300));  // while that job still waits
  loop_.runUntilIdle();
  loop_.advance(seconds(299));
  EXPECT_EQ(14u, source_->dailyQueries.size());
  loop_.advance(seconds(1));
  loop_.runUntilIdle();
  EXPECT_EQ(21u, source_->dailyQueries.size());
}

TEST_F(TokenUsageViewModelTest, JobHoldsTheViewModelWeaklyUntilItStartsThenToTheEnd) {
  start();
  std::weak_ptr<TokenUsageViewModel> weak = viewModel_;
  viewModel_.reset();
  EXPECT_TRUE(weak.expired()) << "neither the waiting job nor the timer keeps it";
  loop_.runUntilIdle();
  EXPECT_TRUE(source_->dailyQueries.empty());
  start();
  weak = viewModel_;
  ASSERT_TRUE(loop_.runOne());
  viewModel_.reset();
  loop_.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(7u, source_->dailyQueries.size()) << "the started job ran to its end";
}

TEST_F(TokenUsageViewModelTest, FailuresOfTodaysQueryFollowTheErrorRules) {
  const auto sessionsMissing =
      std::make_exception_ptr(TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory));
  struct NotAStdException {};
  const struct {
    std::exception_ptr error;  // nullptr: no data today
    bool seenBefore, keepsHistory;
    std::optional<TokenTotals> today;
    std::optional<std::string> message;
  } cases[] = {
      {nullptr, false, true, TokenTotals::zero(), std::nullopt},
      {sessionsMissing, false, false, TokenTotals::zero(), std::nullopt},
      {sessionsMissing, true, true, TokenTotals::zero(), std::nullopt},
      {std::make_exception_ptr(std::runtime_error("disk on fire")), true, false, std::nullopt,
       "disk on fire"},
      {std::make_exception_ptr(NotAStdException{}), false, false, std::nullopt,
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
    EXPECT_EQ(c.today, viewModel_->todayTotals());
    EXPECT_EQ(c.message, viewModel_->errorMessage());
    EXPECT_EQ(c.keepsHistory ? 6u : 0u, viewModel_->historicalSummaries().size());
    EXPECT_EQ(c.keepsHistory, viewModel_->monthSummary().has_value());
    EXPECT_EQ(c.message ? updatedBefore : clock_.now(), viewModel_->lastUpdated());
    EXPECT_EQ(c.message ? "Token Usage" : "0 \u2022 $0.00", viewModel_->menuBarTitle());
  }
}

// A session resumed on another model: each model at its own price, from the list as it reads at
// each refresh.
TEST_F(TokenUsageViewModelTest, EachModelIsPricedFromTheListAsItIsAtEachRefresh) {
  const TokenTotals big{.inputTokens = 1'000'000, .outputTokens = 100'000};
  const TokenTotals small{.inputTokens = 2'000'000, .outputTokens = 500'000};
  source_->days[dayKey(0)] = big + small;
  source_->dayModels[dayKey(0)] = {{.model = "gpt-5.1-codex-mini", .totals = small},
                                   {.model = "gpt-5.5", .totals = big}};
  const std::string latest = R"("gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30})";
  writePrices(R"({"models": {)" + latest +
              R"(, "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
  refreshFully();
  EXPECT_EQ("3.6M \u2022 $9.50", viewModel_->menuBarTitle()) << "5.00 + 3.00 + 0.50 + 1.00";
  writePrices(R"({"models": {)" + latest + "}}");
  refreshFully();
  EXPECT_EQ("3.6M \u2022 $15.50", viewModel_->menuBarTitle()) << "mini at the fallback: 7.50";
}

}  // namespace
}  // namespace nubrel::testing
