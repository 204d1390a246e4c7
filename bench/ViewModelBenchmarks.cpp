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
  Harness(const BenchTree& tree, Instant now, PriceCatalog prices = withoutPrices()) : clock_(now) {
    viewModel_ = TokenUsageViewModel::make(
        std::make_shared<TokenUsageService>(fileSystem_, *calendar_, tree.sessions()), loop_,
        clock_, *calendar_, *names_, preferences_, std::move(prices));
  }

  // Runs the refresh that was started to its end; false when it published other figures than
  // the generator's for today, the past days that have usage and the month.
  bool finishRefresh(const BenchTree& tree) {
    loop_.runUntilIdle();
    const std::string today = dayKeyText(calendar_->dayOf(clock_.now()));
    const auto& days = tree.expected.days;
    const auto expectedToday = days.contains(today) ? days.at(today).usage : TokenTotals{};
    bool right = viewModel_->todayTotals() == expectedToday && viewModel_->monthSummary() &&
                 viewModel_->monthSummary()->totals == tree.expected.monthUsage(tree.month);
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

// Noon five days after the month's first day with usage, or the last day with usage if that
// comes first: of the six days before it, at least the sixth lies before any usage, and its
// query finds no data (and reads the whole tree) at every refresh.
Instant dayAfterAFirstDayWithoutData(const BenchTree& tree) {
  const auto firstDay = tree.expected.days.lower_bound(tree.month + "-01");
  const std::string& text = firstDay->first;
  using namespace std::chrono;
  const year_month_day date{year{std::stoi(text.substr(0, 4))},
                            month{unsigned(std::stoi(text.substr(5, 2)))},
                            day{unsigned(std::stoi(text.substr(8, 2)))}};
  return std::min(Instant{sys_days(date) + days(5)} + 12h, tree.today);
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

// From start-up to the first published figures: today, the six past days and the month scan,
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

// The timer's refresh with nothing new in the logs.
void steadyRefresh(benchmark::State& state, const BenchTree* tree, Instant now) {
  Harness harness(*tree, now);
  harness.finishRefresh(*tree);
  for (auto _ : state) {
    harness.viewModel().refresh();
    if (!harness.finishRefresh(*tree)) {
      state.SkipWithError("published figures differ from the generated sums");
      break;
    }
  }
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

void registerViewModelBenchmarks(const BenchTree& big) {
  benchmark::RegisterBenchmark(kFirstRefresh, firstRefresh, &big, false)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kFirstRefreshPriced, firstRefresh, &big, true)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kSteadyRefresh, steadyRefresh, &big, big.today)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kSteadyRefreshDayWithoutData, steadyRefresh, &big,
                               dayAfterAFirstDayWithoutData(big))
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}

void printViewModelFigures(const Timings& timings, const BenchTree& big) {
  const auto has = [&](const char* name) { return timings.contains(name); };
  if (has(kFirstRefresh) && has(kFirstRefreshPriced)) {
    std::printf("(g) first refresh with the shipped price list: %.3f times the one without\n",
                median(timings.at(kFirstRefreshPriced)) / median(timings.at(kFirstRefresh)));
  }
  if (!has(kFirstRefresh) || !has(kMonthScan)) {
    return;
  }
  const double scan = median(timings.at(kMonthScan));
  std::printf(
      "(e) first refresh (today, six past days, month scan) of %s: %.0f ms, %.2f month "
      "scans\n",
      big.todayKey.c_str(), median(timings.at(kFirstRefresh)) * 1e3,
      median(timings.at(kFirstRefresh)) / scan);
  if (has(kSteadyRefresh) && has(kSteadyRefreshDayWithoutData)) {
    const double steady = median(timings.at(kSteadyRefresh));
    const double withoutData = median(timings.at(kSteadyRefreshDayWithoutData));
    std::printf(
        "(f) steady refresh, nothing new: %.1f ms with %d past days without usage "
        "(%.3f month scans); %.0f ms with %d (%.2f month scans, %.0f times the first)\n",
        steady * 1e3, pastDaysWithoutUsage(big, big.today), steady / scan, withoutData * 1e3,
        pastDaysWithoutUsage(big, dayAfterAFirstDayWithoutData(big)), withoutData / scan,
        withoutData / steady);
  }
}

}  // namespace nubrel::bench
