// The view model's side of the plan's limits: the published snapshot and the local times the
// limit rows and notices show.
#include <chrono>
#include <cstdio>

#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

const std::optional<RateLimitSnapshot>& TokenUsageViewModel::rateLimits() const {
  return rateLimits_;
}

std::string TokenUsageViewModel::timeLabel(Instant instant, Instant reference) const {
  const std::chrono::minutes local = calendar_.timeOfDay(instant);
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d", static_cast<int>(local.count() / 60),
                static_cast<int>(local.count() % 60));
  const CacheKey day = calendar_.dayOf(instant);
  if (day == calendar_.dayOf(reference)) {
    return clock;
  }
  const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(day.year)},
                                         std::chrono::month{static_cast<unsigned>(day.month)},
                                         std::chrono::day{static_cast<unsigned>(day.day)}};
  const auto weekday = std::chrono::weekday{std::chrono::sys_days{date}};
  return names_.weekdayAbbreviation(static_cast<int>(weekday.c_encoding())) + " " + clock;
}

}  // namespace nubrel
