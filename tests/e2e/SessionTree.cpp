// SessionTree: days counted back from a today that is about noon.
#include <ctime>

#include "e2e/Desktop.h"
#include "support/LogLines.h"

namespace nubrel::testing {

using namespace std::chrono;

SessionTree::SessionTree() {
  const auto now = system_clock::now();
  // From UTC-11 to UTC+12, which the Etc/GMT zones cover.
  utcOffset_ = hours(12 - duration_cast<hours>(now - floor<days>(now)).count());
  today_ = floor<days>(now + utcOffset_);
}

std::string SessionTree::timeZone() const {
  // POSIX-style names: Etc/GMT-3 is three hours ahead of UTC.
  const auto offset = utcOffset_.count();
  return "Etc/GMT" + std::string(offset > 0 ? "-" : "+") + std::to_string(std::abs(offset));
}

std::string SessionTree::format(int daysAgo, const char* pattern, seconds shift) const {
  const std::time_t time = system_clock::to_time_t(today_ - days(daysAgo) + hours(6) + shift);
  std::tm fields{};
  gmtime_r(&time, &fields);
  char text[128];
  return std::string(text, std::strftime(text, sizeof text, pattern, &fields));
}

void SessionTree::addUsage(int daysAgo, const TokenTotals& usage) {
  // In UTC, as the agent writes it.
  const std::string logged =
      format(daysAgo, "%Y-%m-%dT%H:%M:%S.000Z", seconds(added_++) - utcOffset_);
  home_.append(logFile(daysAgo), usageLine(logged, usage));
}

void SessionTree::addLimits(int daysAgo, int percent, int resetHour) {
  const auto resets = duration_cast<seconds>(today_ + hours(resetHour) - utcOffset_ - sys_days{});
  const std::string limits = R"({"primary":{"used_percent":)" + std::to_string(percent) +
                             R"(,"window_minutes":300,"resets_at":)" +
                             std::to_string(resets.count()) + "}}";
  home_.append(logFile(daysAgo),
               tokenLine(format(daysAgo, "%Y-%m-%dT%H:%M:%S.000Z", seconds(added_++) - utcOffset_),
                         std::nullopt, std::nullopt, limits));
}

void SessionTree::addOtherLines(int daysAgo, std::size_t count) {
  std::string lines;
  for (const std::string line = otherLine("2020-01-01T00:00:00.000Z", 400); count > 0; --count) {
    lines += line;
  }
  home_.append(logFile(daysAgo), lines);
}

std::filesystem::path SessionTree::logFile(int daysAgo) {
  const std::string file = format(daysAgo,
                                  "codex/sessions/%Y/%m/%d/rollout-%Y-%m-%dT06-00-00-"
                                  "0199a000-0000-7000-8000-000000000001.jsonl");
  std::filesystem::create_directories((home() / file).parent_path());
  return file;
}

}  // namespace nubrel::testing
