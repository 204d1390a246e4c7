// An agent home in a temporary directory on the real disk and the usage service reading it, in
// UTC unless a test picks another zone. Shared by the service tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "model/Timestamp.h"
#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/LogLines.h"
#include "support/TempDir.h"

namespace nubrel::testing {

inline Instant at(std::string_view timestamp) {
  return parseTimestamp(timestamp).value();
}

// The day's or the month's totals, or zero where the service finds no usage.
inline TokenTotals dayOf(TokenUsageService& service, std::string_view timestamp) {
  try {
    return service.fetchDailyUsage(at(timestamp)).front().totals;
  } catch (const TokenUsageError&) {
    return TokenTotals::zero();
  }
}
inline TokenTotals monthOf(TokenUsageService& service, std::string_view timestamp) {
  try {
    return service.fetchMonthTotals(at(timestamp));
  } catch (const TokenUsageError&) {
    return TokenTotals::zero();
  }
}

class ServiceFixture : public ::testing::Test {
 public:
  std::unique_ptr<TokenUsageService> freshService() const {
    return std::make_unique<TokenUsageService>(fs_, *calendar_, sessions());
  }
  std::filesystem::path sessions() const { return dir_.path() / "sessions"; }
  TokenTotals day(std::string_view timestamp) { return dayOf(*service_, timestamp); }
  TokenTotals month(std::string_view timestamp) { return monthOf(*service_, timestamp); }
  // The kind of error a day's query ends in, if any.
  std::optional<TokenUsageError::Kind> failureOf(std::string_view timestamp) {
    try {
      service_->fetchDailyUsage(at(timestamp));
    } catch (const TokenUsageError& error) {
      return error.kind();
    }
    return std::nullopt;
  }

  TempDir dir_;
  PosixFileSystem fs_;
  std::unique_ptr<ZonedCalendar> calendar_ = ZonedCalendar::named("UTC");
  std::unique_ptr<TokenUsageService> service_ = freshService();
};

}  // namespace nubrel::testing
