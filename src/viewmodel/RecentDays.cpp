// The recent days of TokenUsageViewModel: the day and month keys, the six-day plan, the history
// query of the refresh job, the day labels and the published list.
#include <cstdio>

#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {
namespace {

constexpr int kPastDays = 6;

}  // namespace

std::string TokenUsageViewModel::dayKey(Instant date) const {
  return dayKeyText(calendar_.dayOf(date));
}

std::string TokenUsageViewModel::monthKey(Instant date) const {
  const CacheKey day = calendar_.dayOf(date);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02lld", static_cast<long long>(day.year),
                static_cast<long long>(day.month));
  return text;
}

TokenUsageViewModel::RefreshPlan TokenUsageViewModel::makeHistoricalPlan(
    Instant referenceDate) const {
  RefreshPlan plan;
  for (int k = 1; k <= kPastDays; ++k) {
    // Calendar days, not k * 86400 s: across a daylight-saving change a fixed step would land
    // twice on one day or skip one.
    const std::optional<Instant> date = calendar_.addingDays(referenceDate, -k);
    if (!date) {
      continue;
    }
    HistoricalDatePlan day{.date = *date, .key = dayKey(*date), .isYesterday = k == 1};
    if (!historicalCache_.contains(day.key)) {
      plan.plansToFetch.push_back(day);
    }
    plan.plans.push_back(std::move(day));
  }
  plan.monthKey = monthKey(referenceDate);
  plan.needsMonthFetch = !monthCache_.contains(plan.monthKey);
  return plan;
}

TokenUsageViewModel::BackgroundFetchResult TokenUsageViewModel::performBackgroundFetch(
    const std::vector<HistoricalDatePlan>& plans, bool needsMonth, Instant referenceDate,
    TokenUsageSource& service) {
  BackgroundFetchResult result;
  // A past day without logs throws missingMonthDirectory; that day, like one whose query failed
  // otherwise, simply gets no entry and is asked again at the next refresh.
  for (const HistoricalDatePlan& plan : plans) {
    try {
      const std::vector<DailyTokenUsage> usage = service.fetchDailyUsage(plan.date);
      if (!usage.empty()) {
        result.historical.insert_or_assign(plan.key, usage.front());
      }
    } catch (...) {
    }
  }
  if (needsMonth) {
    try {
      result.month = service.fetchMonthUsage(referenceDate);
    } catch (...) {
    }
  }
  return result;
}

std::vector<TokenUsageViewModel::HistoricalSummary> TokenUsageViewModel::makeHistoricalSummaries(
    const RefreshPlan& plan) const {
  std::vector<HistoricalSummary> summaries;
  for (const HistoricalDatePlan& day : plan.plans) {
    const auto cached = historicalCache_.find(day.key);
    if (cached == historicalCache_.end()) {
      continue;
    }
    summaries.push_back({.id = day.key,
                         .label = day.isYesterday ? "Yesterday" : dayLabel(day.date),
                         .date = day.date,
                         .totals = cached->second.totals,
                         .models = cached->second.models});
  }
  return summaries;
}

std::string TokenUsageViewModel::dayLabel(Instant date) const {
  const CacheKey day = calendar_.dayOf(date);
  if (day.month < 1 || day.month > 12) {
    return dayKey(date);
  }
  return ordinalDay(day.day) + " " + names_.monthName(static_cast<int>(day.month)) + " " +
         std::to_string(day.year);
}

std::string TokenUsageViewModel::ordinalDay(std::int64_t day) {
  const char* suffix = "th";
  if ((day / 10) % 10 != 1) {
    switch (day % 10) {
    case 1:
      suffix = "st";
      break;
    case 2:
      suffix = "nd";
      break;
    case 3:
      suffix = "rd";
      break;
    default:
      break;
    }
  }
  return std::to_string(day) + suffix;
}

}  // namespace nubrel
