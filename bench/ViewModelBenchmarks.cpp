// View-model refreshes, run to their end on a hand-stepped event loop with a fixed clock, so
// that a refresh costs what its service calls cost.
#include "bench/ViewModelBenchmarks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/LocaleDateNames.h"
#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "pricing/PriceCatalog.h"
#include "service/TokenUsageService.h"
#include "support/FakeClock.h"
#include "support/FakePreferences.h"
#include "support/ManualEventLoop.h"
#include "ui/MenuContent.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel::bench {
namespace {

using namespace std::chrono_literals;

// No price list: every model at the fallback price, nothing read.
PriceCatalog withoutPrices() {
  return PriceCatalog({}, {});
}

// The shipped list beside the program, as the tray reads it at every refresh.
PriceCatalog shippedPrices() {
  return PriceCatalog(PriceCatalog::installed().builtIn(), {});
}

// One application's worth of view model, made at `now`; making it starts the first refresh.
class Harness {
 public:
  Harness(const BenchTree& tree, Instant now, PriceCatalog prices = withoutPrices(),
          bool matchCopies = true)
      : clock_(now) {
    viewModel_ = TokenUsageViewModel::make(
        std::make_shared<TokenUsageService>(fileSystem_, *calendar_, tree.sessions(), matchCopies),
        loop_, clock_, *calendar_, *names_, preferences_, std::move(prices));
  }

  // Runs the refresh that was started to its end; false when it published other figures than
  // the generator's for today, the past days that have usage and the month.
  bool finishRefresh(const BenchTree& tree, bool wholeMonth = true) {
    loop_.runUntilIdle();
    const std::string today = dayKeyText(calendar_->dayOf(clock_.now()));
    const auto& days = tree.expected.days;
    const auto expectedToday = days.contains(today) ? days.at(today).usage : TokenTotals{};
    // Early in the month, the month so far is less than the generator's whole month.
    bool right =
        viewModel_->todayTotals() == expectedToday && viewModel_->monthSummary() &&
        (!wholeMonth || viewModel_->monthSummary()->totals == tree.expected.monthUsage(tree.month));
    for (const auto& summary : viewModel_->historicalSummaries()) {
      right = right && days.contains(summary.id) && days.at(summary.id).usage == summary.totals;
    }
    return right;
  }

  TokenUsageViewModel& viewModel() { return *viewModel_; }
  // The menu as the tray shows it after the refresh: every figure with its cost.
  std::size_t describeMenu() const {
    return MenuContent(viewModel_, nullptr, [] {}).describe().entries.size();
  }

 private:
  PosixFileSystem fileSystem_;
  std::unique_ptr<ZonedCalendar> calendar_ = ZonedCalendar::named("UTC");
  std::unique_ptr<LocaleDateNames> names_ = LocaleDateNames::fromEnvironment();
  testing::ManualEventLoop loop_;
  testing::FakeClock clock_;
  testing::FakePreferences preferences_;
  std::shared_ptr<TokenUsageViewModel> viewModel_;
};

// Noon four days after the month's first day with usage: of the six days before it, the two
// oldest lie before any usage, and are asked about again at every refresh.
Instant twoPastDaysWithoutData(const BenchTree& tree) {
  const auto firstDay = tree.expected.days.lower_bound(tree.month + "-01");
  const std::string& text = firstDay->first;
  using namespace std::chrono;
  const year_month_day date{year{std::stoi(text.substr(0, 4))},
                            month{unsigned(std::stoi(text.substr(5, 2)))},
                            day{unsigned(std::stoi(text.substr(8, 2)))}};
  return Instant{sys_days(date) + days(4)} + 12h;
}

// How many of the six days before `now` have no usage in the tree.
int pastDaysWithoutUsage(const BenchTree& tree, Instant now) {
  const auto calendar = ZonedCalendar::named("UTC");
  int count = 0;
  for (int k = 1; k <= 6; ++k) {
    count += tree.expected.days.contains(dayKeyText(calendar->dayOf(now - std::chrono::days(k))));
  }
  return 6 - count;
}

// From start-up to the first published figures: today, the six past days and the month,
// and the menu made from them; `priced` with the shipped price list, else without any.
void firstRefresh(benchmark::State& state, const BenchTree* tree, bool priced) {
  if (priced && shippedPrices().load().entries().empty()) {
    state.SkipWithError("no price list beside the program");
    return;
  }
  for (auto _ : state) {
    Harness harness(*tree, tree->today, priced ? shippedPrices() : withoutPrices());
    if (!harness.finishRefresh(*tree)) {
      state.SkipWithError("published figures differ from the generated sums");
      break;
    }
    benchmark::DoNotOptimize(harness.describeMenu());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * tree->bytes));
}

// The same without matching copied history: the generator's forks then count twice, so only the
// time is taken.
void firstRefreshWithoutCopies(benchmark::State& state, const BenchTree* tree) {
  for (auto _ : state) {
    Harness harness(*tree, tree->today, withoutPrices(), false);
    harness.finishRefresh(*tree);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * tree->bytes));
}

// The timer's refresh with nothing new in the logs.
void steadyRefresh(benchmark::State& state, const BenchTree* tree, Instant now) {
  Harness harness(*tree, now);
  if (!harness.finishRefresh(*tree, false)) {
    state.SkipWithError("published figures differ from the generated sums");
    return;
  }
  for (auto _ : state) {
    harness.viewModel().refresh();
    if (!harness.finishRefresh(*tree, false)) {
      state.SkipWithError("published figures differ from the generated sums");
      break;
    }
  }
}

}  // namespace

void registerViewModelBenchmarks(const BenchTree& big) {
  benchmark::RegisterBenchmark(kFirstRefresh, firstRefresh, &big, false)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kFirstRefreshPriced, firstRefresh, &big, true)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kFirstRefreshWithoutCopies, firstRefreshWithoutCopies, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kSteadyRefreshDaysWithoutData, steadyRefresh, &big,
                               twoPastDaysWithoutData(big))
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}

void printViewModelFigures(const Timings& timings, const BenchTree& big) {
  const auto has = [&](const char* name) { return timings.contains(name); };
  if (has(kFirstRefresh) && has(kFirstRefreshPriced)) {
    std::printf("(g) first refresh with the shipped price list: %.3f times the one without\n",
                median(timings.at(kFirstRefreshPriced)) / median(timings.at(kFirstRefresh)));
  }
  if (!has(kFirstRefresh) || !has(kGrepCount)) {
    return;
  }
  const double first = median(timings.at(kFirstRefresh));
  std::printf(
      "(a) first refresh (today, six past days, month) of %s: %.0f ms, %.2f times grep "
      "(target <= 1.0)\n",
      big.todayKey.c_str(), first * 1e3, first / median(timings.at(kGrepCount)));
  if (has(kFirstRefreshWithoutCopies)) {
    std::printf("    against the same without matching copied history: %.3f (target <= 1.05)\n",
                first / median(timings.at(kFirstRefreshWithoutCopies)));
  }
  if (has(kSteadyRefreshDaysWithoutData)) {
    const double steady = median(timings.at(kSteadyRefreshDaysWithoutData));
    std::printf(
        "(b) refresh with nothing new, %d of the six past days without usage: %.2f ms, %.4f of "
        "a first refresh (target <= 0.01)\n",
        pastDaysWithoutUsage(big, twoPastDaysWithoutData(big)), steady * 1e3, steady / first);
  }
}

}  // namespace nubrel::bench
