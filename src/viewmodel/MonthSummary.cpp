// The month figure of TokenUsageViewModel: one scan per month, then carried forward at every
// refresh by what today's totals (and each model's part) grew since the last one, without
// counting a day twice.
#include <cstdio>

#include "model/ModelUsageList.h"
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
    Instant referenceDate, const std::optional<MonthTokenUsage>& today,
    const std::optional<MonthTokenUsage>& fetched) {
  const std::string month = monthKey(referenceDate);
  const std::string day = dayKey(referenceDate);

  // On a new day the baseline is the new day's zero, so all of its usage is added once. The old
  // day's growth up to its last refresh is already in the cached total.
  if (const auto last = lastDayKeyByMonth_.find(month);
      last == lastDayKeyByMonth_.end() || last->second != day) {
    lastTodayUsageByMonth_.insert_or_assign(month, MonthTokenUsage{});
  }

  MonthTokenUsage base;
  if (fetched) {
    // A fresh scan already holds today's usage so far: today's usage becomes the baseline.
    monthCache_.insert_or_assign(month, *fetched);
    lastTodayUsageByMonth_.insert_or_assign(month, today.value_or(MonthTokenUsage{}));
    lastDayKeyByMonth_.insert_or_assign(month, day);
    base = *fetched;
  } else if (const auto cached = monthCache_.find(month); cached != monthCache_.end()) {
    base = cached->second;
  } else {
    return std::nullopt;
  }

  MonthTokenUsage total = base;
  if (!today) {
    lastTodayUsageByMonth_.insert_or_assign(month, MonthTokenUsage{});
    lastDayKeyByMonth_.insert_or_assign(month, day);
  } else {
    const auto baseline = lastTodayUsageByMonth_.find(month);
    const MonthTokenUsage previous =
        baseline == lastTodayUsageByMonth_.end() ? MonthTokenUsage{} : baseline->second;
    if (today->totals != previous.totals || today->models != previous.models) {
      // Per counter and model, only growth is added: a daily total that drops never lowers the
      // month.
      total.totals = base.totals + today->totals.delta(previous.totals);
      total.models = modelsOrUnknown(base.totals, base.models);
      const std::vector<ModelUsage> before = modelsOrUnknown(previous.totals, previous.models);
      for (const ModelUsage& usage : modelsOrUnknown(today->totals, today->models)) {
        const ModelUsage* old = findModel(before, usage.model, usage.longContext);
        addModelUsage(total.models,
                      {.model = usage.model,
                       .longContext = usage.longContext,
                       .totals = usage.totals.delta(old ? old->totals : TokenTotals{})});
      }
      monthCache_.insert_or_assign(month, total);
      lastTodayUsageByMonth_.insert_or_assign(month, *today);
      lastDayKeyByMonth_.insert_or_assign(month, day);
    }
  }

  const CacheKey calendarDay = calendar_.dayOf(referenceDate);
  return MonthlySummary{.id = month,
                        .label = monthLabel(names_, calendarDay),
                        .date = referenceDate,
                        .totals = total.totals,
                        .models = total.models};
}

}  // namespace nubrel
