#include "viewmodel/TokenUsageViewModel.h"

#include <algorithm>
#include <stdexcept>

#include "service/TokenUsageError.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using std::chrono::seconds;

class TokenUsageViewModelTest : public ViewModelFixture {
 protected:
  long todayQueries() const {
    return std::count(source_->dailyQueries.begin(), source_->dailyQueries.end(), dayKey(0));
  }
};

TEST_F(TokenUsageViewModelTest, RefreshRunsInStagesWithTheLoopBetweenThem) {
  setWeek(usage(1000));
  source_->months["2025-03"] = usage(9000);
  source_->limits = RateLimitSnapshot{.limits = {}, .observedAt = at("2025-03-21T09:00:00.000Z")};
  start();
  EXPECT_EQ("Loading\u2026", viewModel_->menuBarTitle());
  EXPECT_TRUE(source_->dailyQueries.empty()) << "the job starts on a later turn";
  source_->slicesLeft = 2;
  for (int slice = 1; slice <= 3; ++slice) {
    ASSERT_TRUE(loop_.runOne());  // the logs are read in slices, a turn of the loop each
    EXPECT_EQ(std::size_t(slice), source_->readAheadFrom.size());
    EXPECT_TRUE(source_->dailyQueries.empty());
  }
  EXPECT_EQ(at("2025-03-01T00:00:00.000+01:00"), source_->readAheadFrom.front())
      << "the month's first day is older than the six past days";
  ASSERT_TRUE(loop_.runOne());  // stage 1: today
  EXPECT_EQ(1u, source_->dailyQueries.size());
  ASSERT_TRUE(loop_.runOne());  // stages 2 and 3: the plan and the history
  EXPECT_EQ(7u, source_->dailyQueries.size());
  EXPECT_EQ(1u, source_->monthQueries.size());
  EXPECT_FALSE(viewModel_->todayTotals()) << "nothing is published before stage 4";
  EXPECT_FALSE(viewModel_->rateLimits());
  clock_.advance(seconds(3));
  ASSERT_TRUE(loop_.runOne());  // stage 4
  EXPECT_FALSE(viewModel_->isLoading());
  EXPECT_EQ(usage(1000), viewModel_->todayTotals());
  EXPECT_EQ(source_->limits, viewModel_->rateLimits());
  EXPECT_EQ(clock_.now(), viewModel_->lastUpdated()) << "read anew, not the reference date";
  EXPECT_EQ(0u, loop_.pendingTasks());
}

TEST_F(TokenUsageViewModelTest, RefreshWhileLoadingStartsNoSecondJob) {
  start();
  viewModel_->refresh();
  loop_.runUntilIdle();
  EXPECT_EQ(1, todayQueries());
}

TEST_F(TokenUsageViewModelTest, TimerFiresEvery300SecondsAndAFiringDuringAJobIsLost) {
  refreshFully();
  loop_.advance(seconds(299));
  EXPECT_FALSE(viewModel_->isLoading());
  loop_.advance(seconds(1));
  EXPECT_TRUE(viewModel_->isLoading()) << "first firing 300 s after the start";
  loop_.advance(seconds(300));  // while that job still waits: lost
  loop_.runUntilIdle();
  loop_.advance(seconds(299));
  EXPECT_EQ(2, todayQueries());
  loop_.advance(seconds(1));
  loop_.runUntilIdle();
  EXPECT_EQ(3, todayQueries());
}

TEST_F(TokenUsageViewModelTest, JobHoldsTheViewModelWeaklyUntilItStartsThenToTheEnd) {
  start();
  std::weak_ptr<TokenUsageViewModel> weak = viewModel_;
  viewModel_.reset();
  EXPECT_TRUE(weak.expired()) << "neither the waiting job nor the timer keeps it";
  EXPECT_EQ(0u, loop_.runningTimers());
  loop_.runUntilIdle();
  EXPECT_TRUE(source_->dailyQueries.empty());

  start();
  weak = viewModel_;
  ASSERT_TRUE(loop_.runOne());
  viewModel_.reset();
  loop_.runUntilIdle();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(7u, source_->dailyQueries.size()) << "the started job ran all its stages";
}

TEST_F(TokenUsageViewModelTest, ObserversRunAfterEachAssignment) {
  refreshFully();
  std::vector<std::string> titles;
  viewModel_->addObserver([&] { titles.push_back(viewModel_->menuBarTitle()); });
  viewModel_->removeObserver(viewModel_->addObserver([] { ADD_FAILURE() << "removed"; }));
  refreshFully();
  const std::string loading = "Loading\u2026", zero = "0 \u2022 $0.00";
  EXPECT_EQ((std::vector{loading, loading, loading, loading, loading, loading, zero, zero, zero}),
            titles);
}

TEST_F(TokenUsageViewModelTest, DailyQueryOutcomesFollowTheErrorRules) {
  const auto sessionsMissing =
      std::make_exception_ptr(TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory));
  struct NotAStdException {};
  const struct {
    const char* name;
    std::exception_ptr error;  // nullptr: no data today
    bool seenBefore, keepsHistory;
    std::optional<TokenTotals> today;
    std::optional<std::string> message;
  } cases[] = {
      {"no data today", nullptr, false, true, TokenTotals::zero(), std::nullopt},
      {"sessions missing, never seen", sessionsMissing, false, false, TokenTotals::zero(), {}},
      {"sessions missing, seen before", sessionsMissing, true, true, TokenTotals::zero(), {}},
      {"another error", std::make_exception_ptr(std::runtime_error("disk on fire")), true, false,
       std::nullopt, "disk on fire"},
      {"not a std::exception", std::make_exception_ptr(NotAStdException{}), false, false,
       std::nullopt, "The token usage could not be read."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    viewModel_.reset();
    setWeek(usage(10));
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

TEST_F(TokenUsageViewModelTest, SeenRuleSetsThePreferenceOnlyWhenUsageWasSeen) {
  const struct {
    const char* name;
    std::function<void(ScriptedTokenUsageSource&)> script;
    bool seen;
  } cases[] = {
      {"nothing anywhere", [](auto&) {}, false},
      {"zero usage today", [this](auto& s) { s.days[dayKey(0)] = TokenTotals::zero(); }, false},
      {"usage today", [this](auto& s) { s.days[dayKey(0)] = usage(1); }, true},
      {"a past day with data", [this](auto& s) { s.days[dayKey(4)] = usage(0, 1); }, true},
      {"only a month scan of zero", [](auto& s) { s.months["2025-03"] = {}; }, true},
  };
  for (const auto& c : cases) {
    viewModel_.reset();
    preferences_.values.clear();
    source_->days.clear();
    source_->months.clear();
    c.script(*source_);
    refreshFully();
    EXPECT_EQ(c.seen, preferences_.getBool(TokenUsageViewModel::kHasSeenUsageDataKey)) << c.name;
  }
}

}  // namespace
}  // namespace nubrel::testing
