// The benchmarks of the daily query, the refresh and the month scan, with grep as the yardstick.
#include "bench/UsageBenchmarks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"

namespace nubrel::bench {
namespace {

const PosixFileSystem kFileSystem;

const Calendar& utc() {
  static const std::unique_ptr<ZonedCalendar> calendar = ZonedCalendar::named("UTC");
  return *calendar;
}

TokenTotals dayUsage(const BenchTree& tree) {
  return tree.expected.days.at(tree.todayKey).usage;
}

void monthScan(benchmark::State& state, const BenchTree* tree) {
  TokenUsageService service(kFileSystem, utc(), tree->sessions());
  const TokenTotals expected = tree->expected.monthUsage(tree->month);
  for (auto _ : state) {
    if (service.fetchMonthTotals(tree->monthInstant) != expected) {
      state.SkipWithError("month totals differ from the generated sums");
      break;
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * tree->bytes));
}

void grepCount(benchmark::State& state, const BenchTree* tree) {
  const std::uint64_t tokenEvents = tree->expected.monthTokenEvents(tree->month);
  for (auto _ : state) {
    const std::optional<std::uint64_t> lines = grepTokenCountLines(tree->files);
    // Prose mentions the word too, and events past the month's end count here.
    if (!lines || *lines < tokenEvents) {
      state.SkipWithError("grep failed or found too few lines");
      break;
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * tree->bytes));
}

// A fresh service each time, as after start-up or a change of day: every file of the month is
// read from its start.
void firstDailyQuery(benchmark::State& state, const BenchTree* tree) {
  const TokenTotals expected = dayUsage(*tree);
  for (auto _ : state) {
    TokenUsageService service(kFileSystem, utc(), tree->sessions());
    if (service.fetchDailyUsage(tree->today).front().totals != expected) {
      state.SkipWithError("day totals differ from the generated sums");
      break;
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * tree->bytes));
}

// The timer's refresh when nothing was appended: the same service asked about the same day again.
void refreshToday(benchmark::State& state, const BenchTree* tree) {
  static std::map<const BenchTree*, std::unique_ptr<TokenUsageService>> services;
  std::unique_ptr<TokenUsageService>& service = services[tree];
  if (!service) {
    service = std::make_unique<TokenUsageService>(kFileSystem, utc(), tree->sessions());
    service->fetchDailyUsage(tree->today);
  }
  const TokenTotals expected = dayUsage(*tree);
  for (auto _ : state) {
    if (service->fetchDailyUsage(tree->today).front().totals != expected) {
      state.SkipWithError("day totals differ from the generated sums");
      break;
    }
  }
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double best(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

double megabytes(std::uint64_t bytes) {
  return double(bytes) / 1e6;
}

}  // namespace

void registerUsageBenchmarks(const BenchTree& big, const BenchTree& small) {
  benchmark::RegisterBenchmark(kMonthScan, monthScan, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kGrepCount, grepCount, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kFirstDailyQuery, firstDailyQuery, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kRefreshSmall, refreshToday, &small)
      ->UseRealTime()
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(kRefreshBig, refreshToday, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMicrosecond);
}

void printFigures(const Timings& timings, const BenchTree& big, const BenchTree& small,
                  const MemoryFigures* memory) {
  const auto has = [&](const char* name) { return timings.contains(name); };
  const auto med = [&](const char* name) { return median(timings.at(name)); };
  const auto fast = [&](const char* name) { return best(timings.at(name)); };
  const double mb = megabytes(big.bytes);
  std::printf("\nFigures (median of %zu interleaved repetitions; best-of in brackets)\n",
              has(kMonthScan) ? timings.at(kMonthScan).size() : 0);
  std::printf("trees: %zu files, %.1f MB and %zu files, %.1f MB\n", big.files.size(), mb,
              small.files.size(), megabytes(small.bytes));
  if (has(kMonthScan) && has(kGrepCount)) {
    std::printf(
        "(a) month scan %.0f MB/s, grep -c token_count %.0f MB/s: ours/grep %.2f [%.2f] "
        "(target >= 1.0)\n",
        mb / med(kMonthScan), mb / med(kGrepCount), med(kGrepCount) / med(kMonthScan),
        fast(kGrepCount) / fast(kMonthScan));
  }
  if (has(kRefreshSmall) && has(kRefreshBig)) {
    std::printf(
        "(b) refresh of today, nothing appended: %.0f us (%.1f MB tree), %.0f us (%.1f MB tree): "
        "big/small %.2f [%.2f] (target <= 1.5)\n",
        med(kRefreshSmall) * 1e6, megabytes(small.bytes), med(kRefreshBig) * 1e6, mb,
        med(kRefreshBig) / med(kRefreshSmall), fast(kRefreshBig) / fast(kRefreshSmall));
  }
  if (has(kFirstDailyQuery)) {
    std::printf("(c) first daily query of %s: %.0f ms, %.0f MB/s", big.todayKey.c_str(),
                med(kFirstDailyQuery) * 1e3, mb / med(kFirstDailyQuery));
    if (has(kMonthScan)) {
      std::printf("; time against the month scan %.2f [%.2f]",
                  med(kFirstDailyQuery) / med(kMonthScan),
                  fast(kFirstDailyQuery) / fast(kMonthScan));
    }
    std::printf("\n");
  }
  if (memory != nullptr) {
    const double scan =
        megabytes(memory->scanPeak - std::min(memory->scanPeak, memory->baselinePeak));
    const double seen = megabytes(memory->seenBytes);
    std::printf(
        "(d) month scan peak RSS %.1f MB above a %.1f MB baseline; seen set %llu entries x %.0f B "
        "= "
        "%.1f MB; beyond the seen set %.1f MB (target <= 64)\n",
        scan, megabytes(memory->baselinePeak), static_cast<unsigned long long>(memory->seenEntries),
        memory->seenEntries ? double(memory->seenBytes) / double(memory->seenEntries) : 0.0, seen,
        scan - seen);
  } else {
    std::printf("(d) month scan memory: the child process could not be run\n");
  }
}

}  // namespace nubrel::bench
