// TokenUsageSource: what the view model asks of the usage service. TokenUsageService is the one
// real source; the interface lets tests substitute a source that fails in other ways.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/Instant.h"
#include "model/RateLimits.h"
#include "model/TokenTotals.h"

namespace nubrel {

class TokenUsageSource {
 public:
  virtual ~TokenUsageSource() = default;

  // Reads up to about byteBudget bytes of what the logs gained, for the queries of a refresh as
  // of `now` about days from `from` on; true once nothing is left to read. A caller on an event
  // loop calls it between turns of the loop until it returns true, so that a large month never
  // holds the loop for long; the fetches below then answer from what was read.
  virtual bool readAhead(Instant from, Instant now, std::uint64_t byteBudget) {
    (void)from;
    (void)now;
    (void)byteBudget;
    return true;
  }
  // One record for the day that contains the instant. Throws TokenUsageError.
  virtual std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) = 0;
  // The totals of the month that contains the instant. Throws TokenUsageError.
  virtual TokenTotals fetchMonthTotals(Instant instant) = 0;
  // The same with the part of each model. Throws TokenUsageError.
  virtual MonthTokenUsage fetchMonthUsage(Instant instant) {
    return MonthTokenUsage{.totals = fetchMonthTotals(instant), .models = {}};
  }
  // The plan's usage limits as of the newest token-count line that carried them, of those
  // written up to `asOf`.
  virtual std::optional<RateLimitSnapshot> latestLimits(Instant asOf) const {
    (void)asOf;
    return std::nullopt;
  }
};

}  // namespace nubrel
