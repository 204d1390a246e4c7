// TokenUsageFormatter: token counts and estimated costs as the menu shows them ("1.5M", "$3.42",
// "2.1M • $3.05") and the four rows of today's breakdown. The costs come priced (UsageCost).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/TokenTotals.h"
#include "pricing/UsageCost.h"

namespace nubrel {

// Stateless; every operation is a pure function of its argument, so instances are interchangeable
// and held by value. Numbers never follow the user's locale: "." as the decimal separator, no
// digit grouping, "-" for a negative value, whatever setlocale was called with.
class TokenUsageFormatter {
 public:
  struct TokenBreakdown {
    // The row's identity; raw values "input", "cached", "output", "reasoning".
    enum class Kind { input, cached, output, reasoning };

    Kind kind = Kind::input;
    std::string label;       // "Input", "Cached", "Output", "Reasoning"
    std::string tokensText;  // formatTokens of the row's quantity
    std::string costText;    // "$0.00"

    static std::string_view rawValue(Kind kind);
    // Exactly the four raw values, case-sensitive; nullopt for anything else.
    static std::optional<Kind> kindFromRawValue(std::string_view raw);

    friend bool operator==(const TokenBreakdown&, const TokenBreakdown&) = default;
  };

  // "999", "1K", "1.23K", "1000K" (the unit is picked before rounding), "2.5B", "-1.5K".
  std::string formatTokens(std::int64_t count) const;
  // "$" and the exact amount, turned into the nearest double, with two decimals.
  std::string formatCost(Picodollars amount) const;
  // The four rows' token count and the sum of their costs, joined by " • ".
  std::string summary(const TokenTotals& totals, const UsageCost& cost) const;
  // Input (uncached), cached, output (without reasoning) and reasoning, always all four, each
  // with its tokens and its cost.
  std::array<TokenBreakdown, 4> breakdown(const TokenTotals& totals, const UsageCost& cost) const;

 private:
  static std::string abbreviated(double value, std::string_view suffix);
};

}  // namespace nubrel
