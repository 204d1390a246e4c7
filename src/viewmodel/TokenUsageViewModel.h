// TokenUsageViewModel: the observable state behind the menu, and its refresh cycle: at start,
// every 300 seconds and on demand, one refresh at a time, in stages on the UI thread.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/Instant.h"
#include "model/TokenTotals.h"
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
  };
  struct MonthlySummary {
    std::string id;     // month key, "yyyy-MM"
    std::string label;  // "This Month (March 2025)"
    Instant date;
    TokenTotals totals;
  };

  // Makes the view model, starts its first refresh and then its 300-second timer. loop, clock,
  // calendar, names and preferences must outlive it.
  static std::shared_ptr<TokenUsageViewModel> make(std::shared_ptr<TokenUsageSource> service,
                                                   EventLoop& loop, const Clock& clock,
                                                   const Calendar& calendar,
                                                   const DateNames& names,
                                                   Preferences& preferences);

  // Starts a refresh unless one is running; returns at once.
  void refresh();

  // The published state.
  const std::vector<DailyTokenUsage>& dailyUsages() const;
  const std::optional<Instant>& lastUpdated() const;
  const std::optional<std::string>& errorMessage() const;
  bool isLoading() const;
  const std::optional<TokenTotals>& todayTotals() const;
  const std::vector<HistoricalSummary>& historicalSummaries() const;
  const std::optional<MonthlySummary>& monthSummary() const;
  // "Loading…", "Token Usage", or the formatter's summary of today's totals.
  std::string menuBarTitle() const;

  // Observers are called after every assignment to a published field, on the UI thread.
  using ObserverId = std::size_t;
  ObserverId addObserver(std::function<void()> observer);
  void removeObserver(ObserverId id);

  // (The implementation adds the private state, the stages of the refresh job, the plan,
  // the history fetch and the month figure.)
};

}  // namespace nubrel
