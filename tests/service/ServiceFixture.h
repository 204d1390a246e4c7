// A usage service over an in-memory file system in UTC, with helpers that read like the
// behaviour they set up. Shared by the service's unit tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/Timestamp.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/InMemoryFileSystem.h"
#include "support/LogLines.h"

namespace nubrel::testing {

inline Instant at(std::string_view timestamp) {
  return parseTimestamp(timestamp).value();
}

class ServiceFixture : public ::testing::Test {
 protected:
  static inline const std::filesystem::path kSessions = "/home/u/.codex/sessions";

  static std::filesystem::path file(const std::string& relative) { return kSessions / relative; }

  // The day's total from the daily query; throws like the service.
  TokenTotals dayTotals(std::string_view timestamp) {
    return service_.fetchDailyUsage(at(timestamp)).front().totals;
  }

  // Reads one file for a day with the reader alone, from the state it returns, as the service
  // would between calls.
  TokenUsageService::ReadResult read(const std::string& relative, const CacheKey& day) {
    auto result = service_.readNewEvents(file(relative), state_, day);
    state_ = result.state;
    return result;
  }

  std::unique_ptr<ZonedCalendar> calendar_ = ZonedCalendar::named("UTC");
  InMemoryFileSystem fs_;
  TokenUsageService service_{fs_, *calendar_, kSessions};
  TokenUsageService::FileState state_;
};

constexpr CacheKey kJan31{2025, 1, 31};

}  // namespace nubrel::testing
