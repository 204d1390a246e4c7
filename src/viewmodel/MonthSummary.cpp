// The month figure of TokenUsageViewModel: one scan per month, then carried forward at every
// refresh by what today's totals grew since the last one, without counting a day twice.
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
    Instant referenceDate, const std::optional<TokenTotals>& todayTotals,
    const std::optional<TokenTotals>& fetchedMonthTotals) {
  const std::string month = monthKey(referenceDate);
  const std::string day = dayKey(referenceDate);

  // On a new day the baseline is the new day's zero, so all of its usage is added once. The old
  // day's growth up to its last refresh is already in the cached total.
  if (const auto last = lastDayKeyByMonth_.find(month);
      last == lastDayKeyByMonth_.end() || last->second != day) {
    lastTodayTotalsByMonth_.insert_or_assign(month, TokenTotals::zero());
  }

  TokenTotals base;
  if (fetchedMonthTotals) {
    // A fresh scan already holds today's usage so far: today's totals become the baseline.
    monthCache_.insert_or_assign(month, *fetchedMonthTotals);
    lastTodayTotalsByMonth_.insert_or_assign(month, todayTotals.value_or(TokenTotals::zero()));
    lastDayKeyByMonth_.insert_or_assign(month, day);
    base = *fetchedMonthTotals;
  } else if (const auto cached = monthCache_.find(month); cached != monthCache_.end()) {
    base = cached->second;
  } else {
    return std::nullopt;
  }

  TokenTotals total = base;
  if (!todayTotals) {
    lastTodayTotalsByMonth_.insert_or_assign(month, TokenTotals::zero());
    lastDayKeyByMonth_.insert_or_assign(month, day);
  } else {
    const auto baseline = lastTodayTotalsByMonth_.find(month);
    const TokenTotals previous =
        baseline == lastTodayTotalsByMonth_.end() ? TokenTotals::zero() : baseline->second;
    if (*todayTotals != previous) {
      // Per counter, only growth is added: a daily total that drops never lowers the month.
      total = base + todayTotals->delta(previous);
      monthCache_.insert_or_assign(month, total);
      lastTodayTotalsByMonth_.insert_or_assign(month, *todayTotals);
      lastDayKeyByMonth_.insert_or_assign(month, day);
    }
  }

  const CacheKey calendarDay = calendar_.dayOf(referenceDate);
  return MonthlySummary{.id = month,
                        .label = monthLabel(names_, calendarDay),
                        .date = referenceDate,
                        .totals = total};
}

}  // namespace nubrel
