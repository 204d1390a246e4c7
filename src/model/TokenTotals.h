// TokenTotals: the token counters that travel together from a log line to the menu, and
// their arithmetic. Every operation saturates at the ends of the signed 64-bit range, so a damaged
// log can make a figure wrong but never wraps, traps or corrupts another counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>

namespace nubrel {

struct TokenTotals {
  std::int64_t inputTokens = 0;            // includes the cached ones
  std::int64_t cachedInputTokens = 0;      // part of inputTokens served from the prompt cache
  std::int64_t outputTokens = 0;           // includes the reasoning ones
  std::int64_t reasoningOutputTokens = 0;  // part of outputTokens spent on reasoning
  std::int64_t totalTokens = 0;            // as the agent reports it
  // Part of inputTokens written to the prompt cache (agent 0.169 and later); priced apart by
  // the providers that charge for cache writes.
  std::int64_t cacheWriteInputTokens = 0;

  static constexpr TokenTotals zero() { return {}; }

  // Field-wise max(this - previous, 0): a session's running totals to one increment.
  TokenTotals delta(const TokenTotals& previous) const;

  // The increment that is added to totals: nothing negative, cached input within the input,
  // reasoning within the output, cache writes within the uncached input, and a non-positive total
  // replaced by input + output. The result is either all zero or has a positive total.
  TokenTotals normalized() const;

  bool isZero() const { return *this == zero(); }

  friend bool operator==(const TokenTotals&, const TokenTotals&) = default;
};

TokenTotals operator+(const TokenTotals& a, const TokenTotals& b);
TokenTotals& operator+=(TokenTotals& a, const TokenTotals& b);
// Takes back what += added (both saturate at the ends of int64).
TokenTotals& operator-=(TokenTotals& a, const TokenTotals& b);

// Saturating signed 64-bit arithmetic, shared by everything that adds or subtracts counters.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b);
std::int64_t saturatingSub(std::int64_t a, std::int64_t b);

// Feeds the fields in order; used for the signatures that tell repeated events apart.
std::size_t hashValue(const TokenTotals& totals);

void PrintTo(const TokenTotals& totals, std::ostream* os);

}  // namespace nubrel
