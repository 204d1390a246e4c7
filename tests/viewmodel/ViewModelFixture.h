// The fixture of the view model's, the menu's and the report's tests: a real calendar and English
// month names, with a manual loop, a settable clock, preferences in memory and a scripted source.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/Timestamp.h"
#include "platform/LocaleDateNames.h"
#include "platform/ZonedCalendar.h"
#include "support/FakeClock.h"
#include "support/FakePreferences.h"
#include "support/ManualEventLoop.h"
#include "support/ScriptedTokenUsageSource.h"
#include "support/TempDir.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel::testing {

inline Instant at(std::string_view text) {
  return parseTimestamp(text).value();
}

inline TokenTotals usage(std::int64_t input, std::int64_t output = 0) {
  return {.inputTokens = input, .outputTokens = output, .totalTokens = input + output};
}

// A limit window; without a reset time when resets is empty, as agent 0.40 wrote them.
inline RateLimitWindow window(double usedPercent, std::int64_t minutes,
                              std::string_view resets = {}) {
  return {usedPercent, minutes, resets.empty() ? std::nullopt : std::optional(at(resets))};
}

class ViewModelFixture : public ::testing::Test {
 protected:
  void start() {
    viewModel_ =
        TokenUsageViewModel::make(source_, loop_, clock_, *calendar_, *names_, preferences_,
                                  PriceCatalog(prices_.path() / "prices.json", {}));
  }
  // One whole refresh; the first one makes the view model.
  void refreshFully() {
    viewModel_ ? viewModel_->refresh() : start();
    loop_.runUntilIdle();
  }
  // One whole refresh that finds these limits, read at observedAt.
  void refreshWithLimits(std::string_view observedAt, std::optional<RateLimitWindow> primary,
                         std::optional<RateLimitWindow> secondary = std::nullopt) {
    source_->limits = RateLimitSnapshot{{primary, secondary}, at(observedAt)};
    refreshFully();
  }
  // The key of the day k days before the clock's.
  std::string dayKey(int k) const {
    return dayKeyText(calendar_->dayOf(calendar_->addingDays(clock_.now(), -k).value()));
  }

  TempDir prices_;  // holds the built-in price list, read at each refresh; none until written
  std::unique_ptr<ZonedCalendar> calendar_ = ZonedCalendar::named("Europe/Berlin");
  std::unique_ptr<LocaleDateNames> names_ = LocaleDateNames::named("C");
  FakeClock clock_{at("2025-03-21T10:00:00.000Z")};  // Friday, 11:00 in Berlin
  ManualEventLoop loop_;
  FakePreferences preferences_;
  std::shared_ptr<ScriptedTokenUsageSource> source_ =
      std::make_shared<ScriptedTokenUsageSource>(*calendar_);
  std::shared_ptr<TokenUsageViewModel> viewModel_;
};

}  // namespace nubrel::testing
