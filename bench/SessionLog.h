// SessionLog: one generated session, written the way the agent writes it: user turns of model
// requests, each with its turn_context, reasoning, tool call and output, and its token events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/ExpectedUsage.h"
#include "bench/Random.h"
#include "bench/SessionText.h"

namespace nubrel::bench {

struct SessionPlan {
  std::string uuid;
  std::int64_t startMillis = 0;  // UTC, milliseconds since the epoch
  std::uint64_t byteBudget = 0;  // the file ends with the first request past this size
  bool repeatsUsage = true;      // agent 0.58 and later: usage repeated before each request
  bool pastMidnight = false;     // work goes on after the next UTC midnight
  std::optional<std::int64_t> resumedAfterMillis;  // appended to again this much later
};

struct SessionSummary {
  std::int64_t lastMillis = 0;  // the last line's time, before any resumption
};

// Writes the whole session into `out` (cleared first) and adds what it used to `expected`.
SessionSummary writeSession(const SessionPlan& plan, const TextPools& pools, Random& random,
                            ExpectedUsage& expected, std::string& out);

}  // namespace nubrel::bench
