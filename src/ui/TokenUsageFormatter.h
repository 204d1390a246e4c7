// TokenUsageFormatter: token counts and estimated costs as the menu shows them ("1.5M", "$3.42",
// "2.1M • $3.05") and the four rows of today's breakdown. The only place where prices live.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/TokenTotals.h"

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

  // US dollars per 1,000,000 tokens.
  static constexpr double kInputRate = 1.25;
  static constexpr double kCachedRate = 0.125;
  static constexpr double kOutputRate = 10.0;
  static constexpr double kReasoningRate = 10.0;

  // "999", "1K", "1.23K", "1000K" (the unit is picked before rounding), "2.5B", "-1.5K".
  std::string formatTokens(std::int64_t count) const;
  // "$" and the amount with two decimals: the sum of the four rows' costs, unrounded.
  std::string formatCost(const TokenTotals& totals) const;
  // The four rows' token count and formatCost, joined by " • ".
  std::string summary(const TokenTotals& totals) const;
  // Input (uncached), cached, output (without reasoning) and reasoning, always all four.
  std::array<TokenBreakdown, 4> breakdown(const TokenTotals& totals) const;

 private:
  // One row's quantity, and its cost in dollars before rounding.
  struct Quantity {
    TokenBreakdown::Kind kind;
    std::int64_t tokens;
    double cost;
  };
  static std::array<Quantity, 4> quantities(const TokenTotals& totals);
  static std::string abbreviated(double value, std::string_view suffix);
};

}  // namespace nubrel
