// ScriptedTokenUsageSource: a TokenUsageSource that answers as a test set it per day and month,
// records what it was asked, and can fail with any exception.
#pragma once

#include <exception>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "service/Calendar.h"
#include "service/TokenUsageSource.h"

namespace nubrel::testing {

class ScriptedTokenUsageSource : public TokenUsageSource {
 public:
  explicit ScriptedTokenUsageSource(const Calendar& calendar) : calendar_(calendar) {}

  // A day or month without an answer throws missingMonthDirectory, as the service does without
  // logs; nullopt is an empty answer. A day's failure is thrown until set to nullptr.
  std::map<std::string, std::optional<TokenTotals>> days;
  std::map<std::string, TokenTotals> months;
  std::map<std::string, std::exception_ptr> dayFailures;
  std::map<std::string, std::vector<ModelUsage>> dayModels, monthModels;
  std::optional<RateLimitSnapshot> limits;
  std::vector<std::string> dailyQueries, monthQueries;  // the keys, in the order asked
  int slicesLeft = 0;  // readAhead answers "not yet" this many times, then done
  std::vector<Instant> readAheadFrom;

  bool readAhead(Instant from, Instant, std::uint64_t) override {
    readAheadFrom.push_back(from);
    return slicesLeft-- <= 0;
  }
  std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) override;
  TokenTotals fetchMonthTotals(Instant instant) override { return fetchMonthUsage(instant).totals; }
  MonthTokenUsage fetchMonthUsage(Instant instant) override;
  std::optional<RateLimitSnapshot> latestLimits(Instant) const override { return limits; }

 private:
  const Calendar& calendar_;
};

}  // namespace nubrel::testing
