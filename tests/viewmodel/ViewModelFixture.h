// The fixture of the view model's and the menu's tests: a real calendar and English month names,
// with a manual loop, a settable clock, preferences in memory and a scripted source.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

class ViewModelFixture : public ::testing::Test {
 protected:
  // The clock starts on Friday 21 March 2025, 11:00 in Berlin.
  explicit ViewModelFixture(std::string_view zone = "Europe/Berlin")
      : calendar_(ZonedCalendar::named(zone)) {}

  // One whole refresh; the first one makes the view model.
  void refreshFully() {
    if (viewModel_) {
      viewModel_->refresh();
    } else {
      start();
    }
    loop_.runUntilIdle();
  }
  void start() {
    viewModel_ =
        TokenUsageViewModel::make(source_, loop_, clock_, *calendar_, *names_, preferences_,
                                  PriceCatalog(prices_.path() / "prices.json", {}));
  }
  // The key of the day k days before the clock's.
  std::string dayKey(int k) const {
    return dayKeyText(calendar_->dayOf(calendar_->addingDays(clock_.now(), -k).value()));
  }
  // Today and the six days before it all have these totals.
  void setWeek(TokenTotals totals) {
    for (int k = 0; k <= 6; ++k) {
      source_->days[dayKey(k)] = totals;
    }
  }

  // The built-in price list the view model reads at each refresh; none until a test writes one.
  void writePrices(std::string_view json) { prices_.write("prices.json", json); }

  TempDir prices_;
  std::unique_ptr<ZonedCalendar> calendar_;
  std::unique_ptr<LocaleDateNames> names_ = LocaleDateNames::named("C");
  FakeClock clock_{at("2025-03-21T10:00:00.000Z")};
  ManualEventLoop loop_;
  FakePreferences preferences_;
  std::shared_ptr<ScriptedTokenUsageSource> source_ =
      std::make_shared<ScriptedTokenUsageSource>(*calendar_);
  std::shared_ptr<TokenUsageViewModel> viewModel_;
};

}  // namespace nubrel::testing
