// The usage core's benchmarks over generated trees, and the figures they add up to.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "bench/BenchTree.h"

namespace nubrel::bench {

// Names under which the benchmarks are registered and their times collected.
inline constexpr const char* kMonthScan = "month_scan";
inline constexpr const char* kGrepCount = "grep_count";
inline constexpr const char* kFirstDailyQuery = "first_daily_query";
inline constexpr const char* kRefreshSmall = "refresh_today_small_tree";
inline constexpr const char* kRefreshBig = "refresh_today_big_tree";

// The trees must outlive the benchmark run. Each benchmark checks the service's answer against
// the generator's sums and fails when they differ, so no figure comes from a wrong result.
void registerUsageBenchmarks(const BenchTree& big, const BenchTree& small);

// Seconds per iteration of each repetition, by benchmark name.
using Timings = std::map<std::string, std::vector<double>>;

struct MemoryFigures {
  std::uint64_t baselinePeak = 0;
  std::uint64_t scanPeak = 0;
  std::uint64_t seenEntries = 0;
  std::uint64_t seenBytes = 0;
};

void printFigures(const Timings& timings, const BenchTree& big, const BenchTree& small,
                  const MemoryFigures* memory);

}  // namespace nubrel::bench
