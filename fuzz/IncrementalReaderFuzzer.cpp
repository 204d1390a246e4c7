// Fuzz target: the incremental reader fed a log in random pieces. The input gives the file's
// bytes and, from its end, where to cut them, the read size and the day and zone to count in.
// After every piece the daily query runs; at the end its figures must equal those of one query
// of the whole file by a fresh service, or the target aborts; so must the month scan's figures
// with and without a copy of the file beside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "InMemoryFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"

namespace {

using namespace std::chrono;
using nubrel::Instant;
using nubrel::TokenUsageError;
using nubrel::TokenUsageService;

// Days of the seed corpus (the real samples and generated logs), and zones far apart.
constexpr std::array<year_month_day, 4> kDays = {2025y / 9 / 25, 2025y / 11 / 17, 2026y / 11 / 3,
                                                 2026y / 11 / 4};
constexpr std::array<const char*, 3> kZones = {"UTC", "Pacific/Kiritimati", "America/Santiago"};

// What a daily query answered: its totals, or that it failed and how.
struct Answer {
  bool failed = false;
  TokenUsageError::Kind kind = TokenUsageError::Kind::missingSessionsDirectory;
  nubrel::TokenTotals totals;
  bool operator==(const Answer&) const = default;
};

Answer ask(TokenUsageService& service, Instant instant) {
  try {
    return Answer{
        .failed = false, .kind = {}, .totals = service.fetchDailyUsage(instant).front().totals};
  } catch (const TokenUsageError& error) {
    return Answer{.failed = true, .kind = error.kind(), .totals = {}};
  }
}

std::optional<nubrel::TokenTotals> monthTotals(TokenUsageService& service, Instant instant) {
  try {
    return service.fetchMonthTotals(instant);
  } catch (const TokenUsageError&) {
    return std::nullopt;
  }
}

const nubrel::Calendar& calendar(std::size_t index) {
  static std::array<std::unique_ptr<nubrel::ZonedCalendar>, kZones.size()> calendars;
  if (!calendars[index]) {
    calendars[index] = nubrel::ZonedCalendar::named(kZones[index]);
    if (!calendars[index]) {
      std::abort();  // the zone data is missing: nothing here would mean anything
    }
  }
  return *calendars[index];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto pieces = input.ConsumeIntegralInRange<std::size_t>(1, 8);
  std::vector<std::uint32_t> cuts(pieces - 1);
  for (std::uint32_t& cut : cuts) {
    cut = input.ConsumeIntegral<std::uint32_t>();
  }
  const auto readSize = input.ConsumeIntegralInRange<std::size_t>(1, 4096);
  const year_month_day day = kDays[input.ConsumeIntegralInRange<std::size_t>(0, kDays.size() - 1)];
  const nubrel::Calendar& zone =
      calendar(input.ConsumeIntegralInRange<std::size_t>(0, kZones.size() - 1));
  const std::string contents = input.ConsumeRemainingBytesAsString();
  for (std::uint32_t& cut : cuts) {
    cut = static_cast<std::uint32_t>(cut % (contents.size() + 1));
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(static_cast<std::uint32_t>(contents.size()));

  const Instant noon =
      zone.startOf(
          {.year = int(day.year()), .month = unsigned(day.month()), .day = unsigned(day.day())}) +
      hours(12);
  const std::filesystem::path sessions = "/home/user/.codex/sessions";
  char dayPath[16];
  std::snprintf(dayPath, sizeof dayPath, "%04d/%02u/%02u", int(day.year()), unsigned(day.month()),
                unsigned(day.day()));
  const std::filesystem::path file = sessions / dayPath / "rollout.jsonl";

  nubrel::fuzzing::InMemoryFileSystem piecewise;
  piecewise.setReadSize(readSize);
  TokenUsageService reader(piecewise, zone, sessions);
  std::size_t written = 0;
  for (const std::uint32_t cut : cuts) {
    piecewise.append(file, contents.substr(written, cut - written));
    written = cut;
    ask(reader, noon);
  }
  const Answer incremental = ask(reader, noon);

  nubrel::fuzzing::InMemoryFileSystem whole;
  whole.addFile(file, contents);
  TokenUsageService once(whole, zone, sessions);
  if (!(incremental == ask(once, noon))) {
    std::abort();
  }
  // The month scan counts an event once however many files hold it: a copy of the file adds
  // nothing.
  nubrel::fuzzing::InMemoryFileSystem twice;
  twice.addFile(file, contents);
  twice.addFile(file.parent_path() / "rollout-copy.jsonl", contents);
  TokenUsageService both(twice, zone, sessions);
  if (monthTotals(once, noon) != monthTotals(both, noon)) {
    std::abort();
  }
  return 0;
}
