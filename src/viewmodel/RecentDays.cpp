// The recent days of TokenUsageViewModel: the day and month keys, the six-day plan, the history
// query of the refresh job, the day labels and the published list.
#include <chrono>
#include <cstdio>

#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {
namespace {

constexpr int kPastDays = 6;

// The local date `days` whole days before `day`.
CacheKey daysBefore(const CacheKey& day, int days) {
  using namespace std::chrono;
  const year_month_day date{sys_days{year(static_cast<int>(day.year)) /
                                     static_cast<int>(day.month) / static_cast<int>(day.day)} -
                            std::chrono::days(days)};
  return CacheKey{.year = static_cast<int>(date.year()),
                  .month = static_cast<unsigned>(date.month()),
                  .day = static_cast<unsigned>(date.day())};
}

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
  const CacheKey today = calendar_.dayOf(referenceDate);
  for (int k = 1; k <= kPastDays; ++k) {
    // Whole local dates first, then the day's first instant: stepping an instant back by days
    // can land twice on one day, or skip one, where a daylight-saving change meets midnight.
    const CacheKey past = daysBefore(today, k);
    const Instant date = calendar_.startOf(past);
    HistoricalDatePlan day{.date = date, .key = dayKeyText(past), .isYesterday = k == 1};
    if (!historicalCache_.contains(day.key)) {
      plan.plansToFetch.push_back(day);
    }
    plan.plans.push_back(std::move(day));
  }
  plan.monthKey = monthKey(referenceDate);
  // The month is the sum of its days as the service holds them, asked at every refresh so that
  // it never drifts from them.
  plan.needsMonthFetch = true;
  const Instant monthStart =
      calendar_.startOf(CacheKey{.year = today.year, .month = today.month, .day = 1});
  plan.readFrom = std::min(monthStart, calendar_.startOf(daysBefore(today, kPastDays)));
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
