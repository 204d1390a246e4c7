// ScriptedTokenUsageSource: a TokenUsageSource whose answers a test sets per day and per month,
// that records what it was asked and can fail with any exception.
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

  // A day or month without an answer throws missingMonthDirectory, as the service does when it
  // finds no logs. nullopt answers an empty list; an error is thrown until set to nullptr.
  std::map<std::string, std::optional<TokenTotals>> days;
  std::map<std::string, TokenTotals> months;
  std::map<std::string, std::exception_ptr> dayFailures;
  // The part of each model in a day's or month's answer; none by default.
  std::map<std::string, std::vector<ModelUsage>> dayModels;
  std::map<std::string, std::vector<ModelUsage>> monthModels;
  std::optional<RateLimitSnapshot> limits;  // what latestLimits answers

  std::vector<std::string> dailyQueries;  // day keys, in the order asked
  std::vector<std::string> monthQueries;  // month keys
  // readAhead answers "not yet" this many times before it answers done; each call is recorded.
  int slicesLeft = 0;
  std::vector<Instant> readAheadFrom;

  bool readAhead(Instant from, Instant now, std::uint64_t byteBudget) override {
    (void)now;
    (void)byteBudget;
    readAheadFrom.push_back(from);
    return slicesLeft-- <= 0;
  }

  std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) override;
  TokenTotals fetchMonthTotals(Instant instant) override;
  MonthTokenUsage fetchMonthUsage(Instant instant) override;
  std::optional<RateLimitSnapshot> latestLimits(Instant asOf) const override {
    (void)asOf;
    return limits;
  }

 private:
  const Calendar& calendar_;  // must outlive the source
};

}  // namespace nubrel::testing
