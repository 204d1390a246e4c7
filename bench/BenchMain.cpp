// nubrel_bench: Google Benchmark over a generated month and a generated day of very many files,
// then the figures as ratios of times measured in this one run.
//   nubrel_bench --big-tree DIR --month YYYY-MM [--many-tree DIR --many-month YYYY-MM]
//                --scratch DIR [--long-line-mb N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/MemoryProbe.h"
#include "bench/UsageBenchmarks.h"
#include "bench/ViewModelBenchmarks.h"

namespace {

using nubrel::bench::Timings;

// Prints as the console reporter does and keeps each repetition's time per iteration.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      failed = failed || run.error_occurred;
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        timings[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                      double(run.iterations));
      }
    }
  }
  Timings timings;
  bool failed = false;  // a benchmark found a wrong result
};

// Takes this program's own flags out of argv, leaving the benchmark library's.
std::string takeFlag(int& argc, char** argv, const char* name) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) {
      std::string value = argv[i + 1];
      for (int j = i; j + 2 <= argc; ++j) {
        argv[j] = argv[j + 2];
      }
      argc -= 2;
      return value;
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--memory-child") == 0) {
    return nubrel::bench::runMemoryChild(argv[2], argv[3], argv[4]);
  }
  const std::string bigRoot = takeFlag(argc, argv, "--big-tree");
  const std::string month = takeFlag(argc, argv, "--month");
  const std::string manyRoot = takeFlag(argc, argv, "--many-tree");
  const std::string manyMonth = takeFlag(argc, argv, "--many-month");
  const std::string scratch = takeFlag(argc, argv, "--scratch");
  const std::string longLineMegabytes = takeFlag(argc, argv, "--long-line-mb");
  benchmark::Initialize(&argc, argv);
  if (bigRoot.empty() || month.empty() || scratch.empty()) {
    std::fputs(
        "usage: nubrel_bench --big-tree DIR --month YYYY-MM [--many-tree DIR --many-month "
        "YYYY-MM] --scratch DIR [flags]\n",
        stderr);
    return 2;
  }
  const auto big = nubrel::bench::loadBenchTree(bigRoot, month);
  std::optional<nubrel::bench::BenchTree> many;
  if (!manyRoot.empty()) {
    many = nubrel::bench::loadBenchTree(manyRoot, manyMonth);
  }
  if (!big || (!manyRoot.empty() && !many)) {
    std::fputs("nubrel_bench: a tree or its expected.tsv is missing (see nubrel-gen-sessions)\n",
               stderr);
    return 1;
  }
  const std::size_t longLineBytes =
      std::size_t(longLineMegabytes.empty() ? 64 : std::stoul(longLineMegabytes)) << 20;
  nubrel::bench::registerUsageBenchmarks(*big, many ? &*many : nullptr, scratch, longLineBytes);
  nubrel::bench::registerViewModelBenchmarks(*big);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  using nubrel::bench::ProbeMode;
  const auto baseline = nubrel::bench::childPeakBytes(ProbeMode::baseline, *big);
  const auto scan = nubrel::bench::childPeakBytes(ProbeMode::monthScan, *big);
  nubrel::bench::MemoryFigures memory;
  if (baseline && scan) {
    memory.baselinePeak = *baseline;
    memory.scanPeak = *scan;
    memory.seenEntries = big->expected.monthTokenEvents(month);
    memory.seenBytes = nubrel::bench::seenSetHeapBytes(memory.seenEntries);
  }
  nubrel::bench::printFigures(reporter.timings, *big, many ? &*many : nullptr,
                              baseline && scan ? &memory : nullptr);
  nubrel::bench::printViewModelFigures(reporter.timings, *big);
  return reporter.failed || !baseline || !scan ? 1 : 0;
}
