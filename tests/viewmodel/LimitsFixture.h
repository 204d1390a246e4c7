// The fixture of the limit rows', the notices' and the report's tests: the view model's fixture
// with helpers that set the source's latest limits and refresh.
#pragma once

#include <optional>
#include <string_view>

#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {

// A window of the current shape, or of agent 0.40's without a reset time when resets is empty.
inline RateLimitWindow window(double usedPercent, std::int64_t minutes,
                              std::string_view resets = {}) {
  return {.usedPercent = usedPercent,
          .windowMinutes = minutes,
          .resetsAt = resets.empty() ? std::nullopt : std::optional(at(resets))};
}

class LimitsFixture : public ViewModelFixture {
 protected:
  // The source reports these limits, read at observedAt; then one whole refresh at the clock.
  void refreshWithLimits(std::string_view observedAt, std::optional<RateLimitWindow> primary,
                         std::optional<RateLimitWindow> secondary = std::nullopt) {
    source_->limits = RateLimitSnapshot{.limits = {.primary = primary, .secondary = secondary},
                                        .observedAt = at(observedAt)};
    refreshFully();
  }
};

}  // namespace nubrel::testing
