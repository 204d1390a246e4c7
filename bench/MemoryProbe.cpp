// Child processes for peak memory, and the heap cost of the seen-event set.
#include "bench/MemoryProbe.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "bench/SessionText.h"
#include "bench/SessionTreeGenerator.h"
#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "service/UsageLedger.h"

namespace nubrel::bench {

std::optional<std::uint64_t> childPeakBytes(ProbeMode mode, const BenchTree& tree) {
  const std::optional<std::string> output = runCapturingOutput(
      {"/proc/self/exe", "--memory-child", mode == ProbeMode::baseline ? "baseline" : "scan",
       tree.root.string(), tree.month});
  if (!output || output->empty()) {
    return std::nullopt;
  }
  return std::strtoull(output->c_str(), nullptr, 10);
}

int runMemoryChild(const std::string& mode, const std::string& root, const std::string& month) {
  const std::optional<BenchTree> tree = loadBenchTree(root, month);
  const std::unique_ptr<ZonedCalendar> calendar = ZonedCalendar::named("UTC");
  if (!tree || !calendar) {
    return 1;
  }
  const PosixFileSystem fileSystem;
  TokenUsageService service(fileSystem, *calendar, tree->sessions());
  // The zone data is loaded on first use; the baseline includes it.
  if (calendar->dayOf(tree->monthInstant).year == 0) {
    return 1;
  }
  if (mode == "scan" &&
      service.fetchMonthTotals(tree->monthInstant) != tree->expected.monthUsage(month)) {
    return 1;
  }
  if (mode != "scan" && mode != "baseline") {
    return 1;
  }
  // The peak of this process image alone: getrusage's ru_maxrss would also hold the parent's
  // peak, since posix_spawn runs the child in the parent's memory until exec.
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) {
      std::printf("%llu\n", std::strtoull(line.c_str() + 6, nullptr, 10) * 1024);
      return 0;
    }
  }
  return 1;
}

std::uint64_t seenSetHeapBytes(std::uint64_t entries) {
  const std::size_t before = ::mallinfo2().uordblks;
  {
    // Keys as the reader makes them: a tag and two token vectors of six counters.
    UsageLedger ledger;
    std::int64_t millis = 1'793'750'400'000;  // 2026-11-03
    for (std::uint64_t i = 0; i < entries; ++i) {
      millis += 997;
      const auto n = static_cast<std::int64_t>(i);
      std::string key = "v" + std::string(96, '\0');
      std::memcpy(key.data() + 1, &n, sizeof n);
      ledger.add(key, UsageLedger::Occurrence{
                          .file = static_cast<UsageLedger::FileId>(i % 600),
                          .sequence = i,
                          .instant = Instant(std::chrono::milliseconds(millis)),
                          .day = static_cast<UsageLedger::DayNumber>(millis / 86'400'000),
                          .model = 0,
                          .longContext = false,
                          .increment = TokenTotals{n * 7, n * 5, n, n / 2, n * 8, 0}});
    }
    const std::size_t during = ::mallinfo2().uordblks;
    return during - before;
  }
}

}  // namespace nubrel::bench
