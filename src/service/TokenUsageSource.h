// TokenUsageSource: what the view model asks of the usage service. TokenUsageService is the one
// real source; the interface lets tests substitute a source that fails in other ways.
#pragma once

#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/Instant.h"
#include "model/TokenTotals.h"

namespace nubrel {

class TokenUsageSource {
 public:
  virtual ~TokenUsageSource() = default;
  // One record for the day that contains the instant. Throws TokenUsageError.
  virtual std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) = 0;
  // The totals of the month that contains the instant. Throws TokenUsageError.
  virtual TokenTotals fetchMonthTotals(Instant instant) = 0;
};

}  // namespace nubrel
