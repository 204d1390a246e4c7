// UsageCost: the four rows of the menu's breakdown (tokens and exact cost) for usage spread over
// models, priced from a PriceTable. Nothing is rounded here; only the display rounds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/TokenTotals.h"
#include "pricing/PriceTable.h"

namespace nubrel {

// 10^-12 US dollars. 128 bits: every counter at its int64 limit times the largest accepted
// price, summed over rows and models, still fits.
__extension__ using Picodollars = __int128;

// The rows in the menu's order: input (uncached, cache writes included), cached input, output
// (without reasoning) and reasoning. The output counter includes the reasoning tokens, as the
// input includes the cached ones, so the output row holds only the rest and reasoning is charged
// once, at the output price.
inline constexpr std::size_t kRowCount = 4;
using RowTokens = std::array<std::int64_t, kRowCount>;

struct UsageCost {
  std::array<Picodollars, kRowCount> rows{};

  Picodollars total() const { return rows[0] + rows[1] + rows[2] + rows[3]; }
  UsageCost& operator+=(const UsageCost& other);
  friend bool operator==(const UsageCost&, const UsageCost&) = default;
};

RowTokens rowTokens(const TokenTotals& totals);

// One model's usage at its price: uncached input (without cache writes) at the input price,
// cached input at the cached price, cache writes at the cache-write price or else the input
// price, output at the output price. The long-context tier when `longContext` and the model has
// one.
UsageCost costOf(const TokenTotals& totals, const ModelPrice& price, bool longContext);

// The sum over the models; an empty list means that no model is known: all of `totals` at the
// fallback price.
UsageCost costOf(const TokenTotals& totals, const std::vector<ModelUsage>& models,
                 const PriceTable& prices);

// The nearest double to the amount in dollars (the amount written out in decimal, then read
// back), for the display.
double dollars(Picodollars amount);
// The exact amount in dollars, as a decimal without trailing zeros: "0.0123", "-2", "0".
std::string exactDollars(Picodollars amount);

}  // namespace nubrel
