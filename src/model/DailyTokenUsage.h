// DailyTokenUsage: one calendar day's totals, as the usage service returns them, with the part
// of each model.
#pragma once

#include <string>
#include <vector>

#include "model/Instant.h"
#include "model/TokenTotals.h"

namespace nubrel {

// Requests whose own input exceeds this many tokens are billed at a long-context rate by the
// providers that have one; the usage of each model is kept apart on either side of it.
inline constexpr std::int64_t kLongContextInputTokens = 272'000;

// What one model's requests used. `model` is empty when the log named none before the request.
struct ModelUsage {
  std::string model;
  bool longContext = false;  // requests above kLongContextInputTokens
  TokenTotals totals;
  friend bool operator==(const ModelUsage&, const ModelUsage&) = default;
};

struct DailyTokenUsage {
  std::string id;           // "yyyy-MM-dd"
  Instant date;             // the first instant of the day
  std::string displayDate;  // the same text as id
  TokenTotals totals;
  std::vector<ModelUsage> models;  // sums to totals; ordered by model, then base before long
};

// A month's totals and the part of each model.
struct MonthTokenUsage {
  TokenTotals totals;
  std::vector<ModelUsage> models;
};

}  // namespace nubrel
