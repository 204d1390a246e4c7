// The benchmarks of the usage ledger's reading, with grep as the yardstick: many files with
// nothing new, and a long line that only looks like it might matter.
#include "bench/UsageBenchmarks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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

// The timer's refresh of a day with very many files and nothing new: a walk and a stat each.
void manyFilesRefresh(benchmark::State& state, const BenchTree* tree) {
  TokenUsageService service(kFileSystem, utc(), tree->sessions());
  const TokenTotals expected = tree->expected.days.at(tree->todayKey).usage;
  Instant now = tree->today;
  service.fetchDailyUsage(now);
  for (auto _ : state) {
    now += std::chrono::seconds(300);
    if (service.fetchDailyUsage(now).front().totals != expected) {
      state.SkipWithError("day totals differ from the generated sums");
      break;
    }
  }
}

// One file read by a fresh service: the day's usage must come out as given.
void readOnce(benchmark::State& state, std::filesystem::path sessions, TokenTotals expected,
              std::uint64_t bytes) {
  for (auto _ : state) {
    TokenUsageService service(kFileSystem, utc(), sessions);
    if (service.fetchDailyUsage(Instant(std::chrono::hours(24 * 20'000 + 12))).front().totals !=
        expected) {
      state.SkipWithError("the day's usage is wrong");
      break;
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}

// kBytes (64 MB for the figures) as one line that starts like plain text, or as the agent's
// ordinary lines, each after one token event of 2024-10-04 (day 20000 since the epoch).
std::uint64_t writeLongLineTrees(const std::filesystem::path& scratch, std::size_t kBytes) {
  const std::string event =
      "{\"timestamp\":\"2024-10-04T12:00:00.000Z\",\"type\":\"event_msg\",\"payload\":{\"type\":"
      "\"token_count\",\"info\":{\"last_token_usage\":{\"input_tokens\":5,\"total_tokens\":5}}}}\n";
  for (const bool plain : {true, false}) {
    const auto dir = scratch / (plain ? "plain" : "ordinary") / "sessions/2024/10/04";
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / "a.jsonl", std::ios::binary | std::ios::trunc);
    out << event;
    if (plain) {
      out << std::string(kBytes, 'w') << "\n";
    } else {
      std::string line =
          "{\"timestamp\":\"2024-10-04T12:00:01.000Z\",\"type\":\"response_item\",\"payload\":{"
          "\"type\":\"message\",\"text\":\"";
      while (line.size() < 4000) {
        line += "word ";
      }
      line += "\"}}\n";
      for (std::size_t written = 0; written < kBytes; written += line.size()) {
        out << line;
      }
    }
  }
  return kBytes;
}

double best(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

double megabytes(std::uint64_t bytes) {
  return double(bytes) / 1e6;
}

}  // namespace

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void registerUsageBenchmarks(const BenchTree& big, const BenchTree* many,
                             const std::filesystem::path& scratch, std::size_t longLineBytes) {
  benchmark::RegisterBenchmark(kGrepCount, grepCount, &big)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  if (many != nullptr) {
    benchmark::RegisterBenchmark(kManyFilesRefresh, manyFilesRefresh, many)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  const std::uint64_t bytes = writeLongLineTrees(scratch, longLineBytes);
  const TokenTotals five{.inputTokens = 5, .totalTokens = 5};
  benchmark::RegisterBenchmark(kLongPlainLine, readOnce, scratch / "plain/sessions", five, bytes)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(kOrdinaryLines, readOnce, scratch / "ordinary/sessions", five, bytes)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
}

void printFigures(const Timings& timings, const BenchTree& big, const BenchTree* many,
                  const MemoryFigures* memory) {
  const auto has = [&](const char* name) { return timings.contains(name); };
  const auto med = [&](const char* name) { return median(timings.at(name)); };
  const auto fast = [&](const char* name) { return best(timings.at(name)); };
  std::printf("\nFigures (median of %zu interleaved repetitions; best-of in brackets)\n",
              has(kGrepCount) ? timings.at(kGrepCount).size() : 0);
  std::printf("month tree: %zu files, %.1f MB; grep -c token_count %.0f ms\n", big.files.size(),
              megabytes(big.bytes), has(kGrepCount) ? med(kGrepCount) * 1e3 : 0.0);
  if (many != nullptr && has(kManyFilesRefresh)) {
    std::printf("(c) refresh of a day of %zu files, nothing new: %.0f ms [%.0f] (target <= 500)\n",
                many->files.size(), med(kManyFilesRefresh) * 1e3, fast(kManyFilesRefresh) * 1e3);
  }
  if (memory != nullptr) {
    const double scan =
        megabytes(memory->scanPeak - std::min(memory->scanPeak, memory->baselinePeak));
    const double seen = megabytes(memory->seenBytes);
    std::printf(
        "(d) first read of the month: peak RSS %.1f MB above a %.1f MB baseline; %llu events x "
        "%.0f B = %.1f MB; beyond the events %.1f MB (target <= 64)\n",
        scan, megabytes(memory->baselinePeak), static_cast<unsigned long long>(memory->seenEntries),
        memory->seenEntries ? double(memory->seenBytes) / double(memory->seenEntries) : 0.0, seen,
        scan - seen);
  } else {
    std::printf("(d) memory: the child process could not be run\n");
  }
  if (has(kLongPlainLine) && has(kOrdinaryLines)) {
    std::printf(
        "(e) a line with a plain-text prefix %.0f ms, as many bytes of ordinary lines %.0f ms: "
        "%.2f [%.2f] (target <= 2)\n",
        med(kLongPlainLine) * 1e3, med(kOrdinaryLines) * 1e3,
        med(kLongPlainLine) / med(kOrdinaryLines), fast(kLongPlainLine) / fast(kOrdinaryLines));
  }
}

}  // namespace nubrel::bench
