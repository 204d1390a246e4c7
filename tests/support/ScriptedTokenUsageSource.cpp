// ScriptedTokenUsageSource.
#include "support/ScriptedTokenUsageSource.h"

#include "service/TokenUsageError.h"

namespace nubrel::testing {

std::vector<DailyTokenUsage> ScriptedTokenUsageSource::fetchDailyUsage(Instant instant) {
  const CacheKey day = calendar_.dayOf(instant);
  const std::string key = dayKeyText(day);
  dailyQueries.push_back(key);
  if (const auto failure = dayFailures.find(key); failure != dayFailures.end() && failure->second) {
    std::rethrow_exception(failure->second);
  }
  const auto answer = days.find(key);
  if (answer == days.end()) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  if (!answer->second) {
    return {};
  }
  return {{key, calendar_.startOf(day), key, *answer->second, dayModels[key]}};
}

MonthTokenUsage ScriptedTokenUsageSource::fetchMonthUsage(Instant instant) {
  const std::string key = dayKeyText(calendar_.dayOf(instant)).substr(0, 7);
  monthQueries.push_back(key);
  const auto answer = months.find(key);
  if (answer == months.end()) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  return {answer->second, monthModels[key]};
}

}  // namespace nubrel::testing
