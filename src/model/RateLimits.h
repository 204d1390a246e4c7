// RateLimits: how much of the plan's usage limits the agent's provider reported as used, as the
// agent copies it into its token-count lines.
#pragma once

#include <cstdint>
#include <optional>

#include "model/Instant.h"

namespace nubrel {

struct RateLimitWindow {
  double usedPercent = 0;
  std::int64_t windowMinutes = 0;
  std::optional<Instant> resetsAt;  // agents before 0.58 do not write it
  friend bool operator==(const RateLimitWindow&, const RateLimitWindow&) = default;
};

struct RateLimits {
  std::optional<RateLimitWindow> primary;    // the short window, 5 hours on current plans
  std::optional<RateLimitWindow> secondary;  // the long one, a week
  friend bool operator==(const RateLimits&, const RateLimits&) = default;
};

// The limits of the newest token-count line that carried them.
struct RateLimitSnapshot {
  RateLimits limits;
  Instant observedAt;  // that line's timestamp
  friend bool operator==(const RateLimitSnapshot&, const RateLimitSnapshot&) = default;
};

}  // namespace nubrel
