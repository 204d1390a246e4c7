// BenchTree: a generated session tree as the benchmarks use it: its expected sums, its files and
// the instants to ask the usage service about.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/ExpectedUsage.h"
#include "model/Instant.h"

namespace nubrel::bench {

struct BenchTree {
  std::filesystem::path root;
  std::string month;  // "yyyy-MM"
  ExpectedUsage expected;
  std::vector<std::filesystem::path> files;  // the month's log files, sorted by path
  std::uint64_t bytes = 0;                   // of those files
  Instant monthInstant;                      // noon of the 15th
  Instant today;                             // noon of the month's last day with usage
  std::string todayKey;                      // its "yyyy-MM-dd"

  std::filesystem::path sessions() const;
};

// nullopt when the tree or its expected.tsv is missing, or the month has no usage.
std::optional<BenchTree> loadBenchTree(const std::filesystem::path& root, const std::string& month);

// Runs a program (found on PATH) with its standard output in a pipe, and returns that output;
// nullopt when it cannot be run or exits with a status above `maxStatus`.
std::optional<std::string> runCapturingOutput(std::vector<std::string> args, int maxStatus = 0);

// The number of lines holding "token_count" in the files, counted by `grep -c`; nullopt when grep
// cannot be run. Its output goes through a pipe: GNU grep stops at the first match when its
// output is /dev/null, which would not be a fair comparison.
std::optional<std::uint64_t> grepTokenCountLines(const std::vector<std::filesystem::path>& files);

}  // namespace nubrel::bench
