// TokenUsageViewModel: the observable state behind the menu, and its refresh cycle: at start,
// every 300 seconds and on demand, one refresh at a time, in stages on the UI thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/Instant.h"
#include "model/RateLimits.h"
#include "model/TokenTotals.h"
#include "pricing/PriceCatalog.h"
#include "pricing/PriceTable.h"
#include "pricing/UsageCost.h"
#include "service/Calendar.h"
#include "service/TokenUsageSource.h"
#include "viewmodel/Clock.h"
#include "viewmodel/DateNames.h"
#include "viewmodel/EventLoop.h"
#include "viewmodel/Preferences.h"

namespace nubrel {

class TokenUsageViewModel : public std::enable_shared_from_this<TokenUsageViewModel> {
 public:
  struct HistoricalSummary {
    std::string id;     // day key, "yyyy-MM-dd"
    std::string label;  // "Yesterday" or "21st March 2025"
    Instant date;
    TokenTotals totals;
    std::vector<ModelUsage> models;  // as the source gave them; empty: no model known
  };
  struct MonthlySummary {
    std::string id;     // month key, "yyyy-MM"
    std::string label;  // "This Month (March 2025)"
    Instant date;
    TokenTotals totals;
    std::vector<ModelUsage> models;
  };

  // Makes the view model, starts its first refresh and then its 300-second timer. loop, clock,
  // calendar, names and preferences must outlive it. The price lists are read at every refresh.
  static std::shared_ptr<TokenUsageViewModel> make(std::shared_ptr<TokenUsageSource> service,
                                                   EventLoop& loop, const Clock& clock,
                                                   const Calendar& calendar, const DateNames& names,
                                                   Preferences& preferences, PriceCatalog prices);

  // Starts a refresh unless one is running; returns at once.
  void refresh();

  // The published state.
  const std::vector<DailyTokenUsage>& dailyUsages() const;
  const std::optional<Instant>& lastUpdated() const;
  const std::optional<std::string>& errorMessage() const;
  bool isLoading() const;
  const std::optional<TokenTotals>& todayTotals() const;
  // Today's part of each model; empty when the source knows none.
  const std::vector<ModelUsage>& todayModels() const;
  // The prices of the last refresh, which the figures are shown at.
  const PriceTable& prices() const;
  // What usage spread over these models costs at those prices.
  UsageCost costOf(const TokenTotals& totals, const std::vector<ModelUsage>& models) const;
  const std::vector<HistoricalSummary>& historicalSummaries() const;
  const std::optional<MonthlySummary>& monthSummary() const;
  // The plan's limits as the source last reported them, read at each refresh; kept, however
  // old, until a newer snapshot comes. Whether it is recent enough to show is the reader's call.
  const std::optional<RateLimitSnapshot>& rateLimits() const;
  // "Loading…", "Token Usage", or the formatter's summary of today's totals.
  std::string menuBarTitle() const;

  // Observers are called after every assignment to a published field, on the UI thread. They
  // may read the state, call refresh() and add or remove observers; they must not throw.
  using ObserverId = std::size_t;
  ObserverId addObserver(std::function<void()> observer);
  void removeObserver(ObserverId id);

  // One planned past day.
  struct HistoricalDatePlan {
    Instant date;  // the reference date moved back by whole calendar days
    std::string key;
    bool isYesterday = false;
  };
  struct RefreshPlan {
    std::vector<HistoricalDatePlan> plans;         // newest first, at most six
    std::vector<HistoricalDatePlan> plansToFetch;  // those without a cached entry
    std::string monthKey;
    bool needsMonthFetch = false;  // the month must be asked for
    Instant readFrom{};            // the first instant of the earliest day queried
  };
  struct BackgroundFetchResult {
    std::map<std::string, DailyTokenUsage> historical;  // by day key, days with data only
    std::optional<MonthTokenUsage> month;               // when a scan was asked for and succeeded
  };

  static constexpr std::chrono::seconds kRefreshInterval{300};
  // Bytes read per turn of the event loop: a few milliseconds of reading, so that the menu and
  // the signals are answered during the first read of a large month.
  static constexpr std::uint64_t kReadSlice = 8 * 1024 * 1024;
  static constexpr const char* kHasSeenUsageDataKey = "NubrelHasSeenUsageData";

  // The past days to list and to query, and whether the month must be scanned. Changes nothing.
  RefreshPlan makeHistoricalPlan(Instant referenceDate) const;
  // "yyyy-MM-dd" and "yyyy-MM" of the date in the view model's calendar.
  std::string dayKey(Instant date) const;
  std::string monthKey(Instant date) const;
  // "21st March 2025", with the month's name as used inside a date in the user's locale.
  std::string dayLabel(Instant date) const;
  // The local time of the instant, "15:38", preceded by the weekday in the user's locale when
  // it is not on the reference's day: "Mon 09:01".
  std::string timeLabel(Instant instant, Instant reference) const;
  // "1st", "2nd", "3rd", "4th", "11th", "21st".
  static std::string ordinalDay(std::int64_t day);

  // Queries each plan's day and, when needsMonth, the month; swallows every error.
  static BackgroundFetchResult performBackgroundFetch(const std::vector<HistoricalDatePlan>& plans,
                                                      bool needsMonth, Instant referenceDate,
                                                      TokenUsageSource& service);

  TokenUsageViewModel(const TokenUsageViewModel&) = delete;
  TokenUsageViewModel& operator=(const TokenUsageViewModel&) = delete;

 private:
  // Private: a refresh job reaches the view model through weak_from_this, so it must be owned
  // by a shared_ptr from the start.
  TokenUsageViewModel(std::shared_ptr<TokenUsageSource> service, EventLoop& loop,
                      const Clock& clock, const Calendar& calendar, const DateNames& names,
                      Preferences& preferences, PriceCatalog prices);

  struct RefreshJob;
  static void runReadStage(const std::shared_ptr<RefreshJob>& job);
  static void runTodayStage(const std::shared_ptr<RefreshJob>& job);
  static void runHistoryStages(const std::shared_ptr<RefreshJob>& job);
  static void runApplyStage(const std::shared_ptr<RefreshJob>& job);
  static void runErrorStage(const std::shared_ptr<RefreshJob>& job);

  std::vector<HistoricalSummary> makeHistoricalSummaries(const RefreshPlan& plan) const;

  // The month figure: the month's usage as fetched in this refresh, none without usage.
  std::optional<MonthlySummary> makeMonthSummary(Instant referenceDate,
                                                 const std::optional<MonthTokenUsage>& fetched);

  // Assigns a published field, then tells the observers.
  template <typename Field>
  void publish(Field& field, std::type_identity_t<Field> value);
  void notifyObservers();

  const std::shared_ptr<TokenUsageSource> service_;
  EventLoop& loop_;
  const Clock& clock_;
  const Calendar& calendar_;
  const DateNames& names_;
  Preferences& preferences_;
  const PriceCatalog priceCatalog_;

  std::vector<DailyTokenUsage> dailyUsages_;
  std::optional<Instant> lastUpdated_;
  std::optional<std::string> errorMessage_;
  bool isLoading_ = false;
  std::optional<TokenTotals> todayTotals_;
  std::vector<HistoricalSummary> historicalSummaries_;
  std::optional<MonthlySummary> monthSummary_;
  PriceTable prices_;
  std::optional<RateLimitSnapshot> rateLimits_;

  std::map<ObserverId, std::function<void()>> observers_;
  ObserverId nextObserverId_ = 1;

  std::map<std::string, DailyTokenUsage> historicalCache_;
  std::map<std::string, MonthTokenUsage> monthCache_;

  TimerHandle timerCancellable_;  // last, so that the timer stops before the rest goes
};

}  // namespace nubrel
