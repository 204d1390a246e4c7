// SessionTree: a session log tree as the agent writes it, with the days counted back from today
// in a time zone chosen so that today is far from midnight while a test runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "model/TokenTotals.h"

namespace nubrel::testing {

class SessionTree {
 public:
  // The tree lives at sessionsDirectory, which is not made until the first line is added.
  explicit SessionTree(std::filesystem::path sessionsDirectory);

  // The TZ value under which the program must run to share the tree's idea of today: a fixed
  // offset zone in which it is now about noon.
  std::string timeZone() const;

  std::chrono::year_month_day day(int daysAgo) const;
  bool inThisMonth(int daysAgo) const;

  // The day's log file, in its year/month/day directory.
  std::filesystem::path logFile(int daysAgo) const;
  // Appends one token event with this usage, logged at 06:00 local time on the day.
  void addUsage(int daysAgo, const TokenTotals& usage) const;
  // Appends count lines of other traffic (messages, no tokens) to the day's log.
  void addOtherLines(int daysAgo, std::size_t count) const;

  // "Yesterday", or the day written out as in "21st March 2025".
  std::string dayLabel(int daysAgo) const;
  // "This Month (March 2025)".
  std::string monthLabel() const;

 private:
  std::filesystem::path sessionsDirectory_;
  std::chrono::hours utcOffset_;
  std::chrono::sys_days today_;
  // Each event gets a timestamp of its own: the same instant and usage would be one event.
  mutable int added_ = 0;
};

}  // namespace nubrel::testing
