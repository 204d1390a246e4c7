// SessionTree.
#include "e2e/SessionTree.h"

#include <array>
#include <cstdio>
#include <fstream>

#include "support/LogLines.h"

namespace nubrel::testing {
namespace {

constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};

std::string twoDigits(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", value);
  return text;
}

}  // namespace

SessionTree::SessionTree(std::filesystem::path sessionsDirectory)
    : sessionsDirectory_(std::move(sessionsDirectory)) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto utcHour = duration_cast<hours>(now - floor<days>(now)).count();
  // From UTC-11 to UTC+12: the Etc/GMT zones cover that range.
  utcOffset_ = hours(12 - utcHour);
  today_ = floor<days>(now + utcOffset_);
}

std::string SessionTree::timeZone() const {
  // POSIX-style names: Etc/GMT-3 is three hours ahead of UTC.
  const auto offset = utcOffset_.count();
  if (offset == 0) {
    return "Etc/GMT";
  }
  return std::string("Etc/GMT") + (offset > 0 ? "-" : "+") +
         std::to_string(offset > 0 ? offset : -offset);
}

std::chrono::year_month_day SessionTree::day(int daysAgo) const {
  return std::chrono::year_month_day(today_ - std::chrono::days(daysAgo));
}

bool SessionTree::inThisMonth(int daysAgo) const {
  const auto past = day(daysAgo);
  const auto today = day(0);
  return past.year() == today.year() && past.month() == today.month();
}

std::filesystem::path SessionTree::logFile(int daysAgo) const {
  const auto date = day(daysAgo);
  const std::string year = std::to_string(static_cast<int>(date.year()));
  const std::string month = twoDigits(static_cast<unsigned>(date.month()));
  const std::string dayOfMonth = twoDigits(static_cast<unsigned>(date.day()));
  return sessionsDirectory_ / year / month / dayOfMonth /
         ("rollout-" + year + "-" + month + "-" + dayOfMonth +
          "T06-00-00-0199a000-0000-7000-8000-000000000001.jsonl");
}

void SessionTree::addUsage(int daysAgo, const TokenTotals& usage) const {
  using namespace std::chrono;
  const sys_seconds logged = sys_days(day(daysAgo)) + hours(6) - utcOffset_;
  const year_month_day date(floor<days>(logged));
  const hh_mm_ss time(logged - floor<days>(logged));
  const std::string timestamp = std::to_string(static_cast<int>(date.year())) + "-" +
                                twoDigits(static_cast<unsigned>(date.month())) + "-" +
                                twoDigits(static_cast<unsigned>(date.day())) + "T" +
                                twoDigits(static_cast<unsigned>(time.hours().count())) + ":" +
                                twoDigits(static_cast<unsigned>(added_ / 60 % 60)) + ":" +
                                twoDigits(static_cast<unsigned>(added_ % 60)) + ".000Z";
  ++added_;
  const std::filesystem::path file = logFile(daysAgo);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::app) << usageLine(timestamp, usage);
}

void SessionTree::addOtherLines(int daysAgo, std::size_t count) const {
  const std::filesystem::path file = logFile(daysAgo);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::app);
  const std::string line = otherLine("2020-01-01T00:00:00.000Z", 400);
  for (std::size_t i = 0; i < count; ++i) {
    out << line;
  }
}

std::string SessionTree::dayLabel(int daysAgo) const {
  if (daysAgo == 1) {
    return "Yesterday";
  }
  const auto date = day(daysAgo);
  const unsigned n = static_cast<unsigned>(date.day());
  const char* suffix = (n / 10 % 10 == 1) ? "th"
                       : n % 10 == 1      ? "st"
                       : n % 10 == 2      ? "nd"
                       : n % 10 == 3      ? "rd"
                                          : "th";
  return std::to_string(n) + suffix + " " + kMonths[static_cast<unsigned>(date.month()) - 1] + " " +
         std::to_string(static_cast<int>(date.year()));
}

std::string SessionTree::monthLabel() const {
  const auto date = day(0);
  return "This Month (" + std::string(kMonths[static_cast<unsigned>(date.month()) - 1]) + " " +
         std::to_string(static_cast<int>(date.year())) + ")";
}

}  // namespace nubrel::testing
