// The month figure of TokenUsageViewModel: the month's usage as the service sums it from its
// days, asked at every refresh.
#include <cstdio>

#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {
namespace {

// "This Month (March 2025)": the stand-alone month name, which differs from the one used inside
// a date in, for example, Russian and Polish.
std::string monthLabel(const DateNames& names, const CacheKey& day) {
  char year[24];
  std::snprintf(year, sizeof year, "%04lld", static_cast<long long>(day.year));
  return "This Month (" + names.standaloneMonthName(static_cast<int>(day.month)) + " " + year + ")";
}

}  // namespace

std::optional<TokenUsageViewModel::MonthlySummary> TokenUsageViewModel::makeMonthSummary(
    Instant referenceDate, const std::optional<MonthTokenUsage>& fetched) {
  const std::string month = monthKey(referenceDate);
  if (!fetched) {
    // No usage in the month: nothing to show, and nothing kept that could come back stale.
    monthCache_.erase(month);
    return std::nullopt;
  }
  monthCache_.insert_or_assign(month, *fetched);
  const CacheKey calendarDay = calendar_.dayOf(referenceDate);
  return MonthlySummary{.id = month,
                        .label = monthLabel(names_, calendarDay),
                        .date = referenceDate,
                        .totals = fetched->totals,
                        .models = fetched->models};
}

}  // namespace nubrel
