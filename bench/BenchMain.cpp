// nubrel_bench: Google Benchmark over two generated trees of one month (a big one and a small one
// with the same files count), then the figures as ratios of times measured in this one run.
//   nubrel_bench --big-tree DIR --small-tree DIR --month YYYY-MM [benchmark flags]
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
  const std::string smallRoot = takeFlag(argc, argv, "--small-tree");
  const std::string month = takeFlag(argc, argv, "--month");
  benchmark::Initialize(&argc, argv);
  if (bigRoot.empty() || smallRoot.empty() || month.empty()) {
    std::fputs("usage: nubrel_bench --big-tree DIR --small-tree DIR --month YYYY-MM [flags]\n",
               stderr);
    return 2;
  }
  const auto big = nubrel::bench::loadBenchTree(bigRoot, month);
  const auto small = nubrel::bench::loadBenchTree(smallRoot, month);
  if (!big || !small) {
    std::fputs("nubrel_bench: a tree or its expected.tsv is missing (see nubrel-gen-sessions)\n",
               stderr);
    return 1;
  }
  nubrel::bench::registerUsageBenchmarks(*big, *small);
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
  nubrel::bench::printFigures(reporter.timings, *big, *small, baseline && scan ? &memory : nullptr);
  nubrel::bench::printViewModelFigures(reporter.timings, *big);
  return reporter.failed || !baseline || !scan ? 1 : 0;
}
