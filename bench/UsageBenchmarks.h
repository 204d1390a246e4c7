// The usage core's benchmarks over generated trees, and the figures they add up to.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "bench/BenchTree.h"

namespace nubrel::bench {

// Names under which the benchmarks are registered and their times collected.
inline constexpr const char* kGrepCount = "grep_count";
inline constexpr const char* kManyFilesRefresh = "refresh_many_files_nothing_new";
inline constexpr const char* kLongPlainLine = "long_line_plain_prefix";
inline constexpr const char* kOrdinaryLines = "ordinary_lines_same_size";

// The trees must outlive the benchmark run. Each benchmark checks the service's answer against
// the generator's sums and fails when they differ, so no figure comes from a wrong result.
// `many` is a tree of one day with very many small files; the long-line files of longLineBytes
// are written into `scratch`.
void registerUsageBenchmarks(const BenchTree& big, const BenchTree* many,
                             const std::filesystem::path& scratch, std::size_t longLineBytes);

// Seconds per iteration of each repetition, by benchmark name.
using Timings = std::map<std::string, std::vector<double>>;

struct MemoryFigures {
  std::uint64_t baselinePeak = 0;
  std::uint64_t scanPeak = 0;
  std::uint64_t seenEntries = 0;
  std::uint64_t seenBytes = 0;
};

double median(std::vector<double> values);
void printFigures(const Timings& timings, const BenchTree& big, const BenchTree* many,
                  const MemoryFigures* memory);

}  // namespace nubrel::bench
