// MemoryProbe: the peak memory of a month scan, measured in a child process of its own so that
// nothing the benchmarks did before counts, and the cost of the scan's set of seen events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/BenchTree.h"

namespace nubrel::bench {

enum class ProbeMode {
  baseline,   // everything the scan needs ready (service, calendar, zone data), no scan
  monthScan,  // the same, then fetchMonthTotals once
};

// Runs this program again as `program --memory-child MODE ROOT MONTH` and returns the child's
// peak resident set in bytes (its VmHWM); nullopt when it cannot run or fails.
std::optional<std::uint64_t> childPeakBytes(ProbeMode mode, const BenchTree& tree);

// The body of the child: prints its peak resident set in bytes and returns 0, or returns 1 when
// the scan's total is wrong.
int runMemoryChild(const std::string& mode, const std::string& root, const std::string& month);

// Heap bytes that the month scan's set of seen events takes with this many entries, measured by
// building one with timestamps and totals like the generated ones.
std::uint64_t seenSetHeapBytes(std::uint64_t entries);

}  // namespace nubrel::bench
