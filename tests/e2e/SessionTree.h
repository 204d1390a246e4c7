// SessionTree: a home of its own holding a session log tree as the agent writes it, in a time
// zone chosen so that today is far from midnight while a test runs.
#pragma once

#include <chrono>
#include <string>

#include "model/TokenTotals.h"
#include "support/TempDir.h"

namespace nubrel::testing {

class SessionTree {
 public:
  SessionTree();

  const std::filesystem::path& home() const { return home_.path(); }
  std::filesystem::path codexHome() const { return home() / "codex"; }
  // The TZ under which a program shares the tree's today: a fixed offset, about noon.
  std::string timeZone() const;
  bool inThisMonth(int daysAgo) const;
  // "This Month (March 2025)".
  std::string monthLabel() const;

  // One token event, logged at 06:00 local time on the day.
  void addUsage(int daysAgo, const TokenTotals& usage);
  // Lines of other traffic (messages, no tokens).
  void addOtherLines(int daysAgo, std::size_t count);

 private:
  // strftime at 06:00 on the day, moved by shift.
  std::string format(int daysAgo, const char* pattern, std::chrono::seconds shift = {}) const;
  std::filesystem::path logFile(int daysAgo);

  TempDir home_;
  std::chrono::hours utcOffset_;
  std::chrono::sys_days today_;
  // Each event at a second of its own: the same instant and usage would be one event.
  int added_ = 0;
};

}  // namespace nubrel::testing
