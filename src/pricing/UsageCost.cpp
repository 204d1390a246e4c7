// UsageCost: rows, prices and exact sums.
#include "pricing/UsageCost.h"

#include <algorithm>
#include <charconv>

namespace nubrel {
namespace {

constexpr std::int64_t kPicodollarsPerDollar = 1'000'000'000'000;

// max(0, max(whole, 0) - max(part, 0)): both sides are non-negative, so this cannot overflow.
std::int64_t remainder(std::int64_t whole, std::int64_t part) {
  return std::max<std::int64_t>(std::max<std::int64_t>(whole, 0) - std::max<std::int64_t>(part, 0),
                                0);
}

Picodollars times(std::int64_t tokens, std::int64_t rate) {
  return static_cast<Picodollars>(tokens) * rate;
}

}  // namespace

UsageCost& UsageCost::operator+=(const UsageCost& other) {
  for (std::size_t i = 0; i < kRowCount; ++i) {
    rows[i] += other.rows[i];
  }
  return *this;
}

// The cached and reasoning rows show the counters as the log gave them.
RowTokens rowTokens(const TokenTotals& totals) {
  return {remainder(totals.inputTokens, totals.cachedInputTokens), totals.cachedInputTokens,
          remainder(totals.outputTokens, totals.reasoningOutputTokens),
          totals.reasoningOutputTokens};
}

UsageCost costOf(const TokenTotals& totals, const ModelPrice& price, bool longContext) {
  const TierRates& rates = longContext && price.longContext ? *price.longContext : price.base;
  const RowTokens tokens = rowTokens(totals);
  // Cache writes are part of the uncached input; whatever the counter says, never more.
  const std::int64_t writes = std::clamp<std::int64_t>(totals.cacheWriteInputTokens, 0, tokens[0]);
  UsageCost cost;
  cost.rows[0] = times(tokens[0] - writes, rates.input) +
                 times(writes, rates.cacheWrite.value_or(rates.input));
  cost.rows[1] = times(tokens[1], rates.cachedInput);
  cost.rows[2] = times(tokens[2], rates.output);
  cost.rows[3] = times(tokens[3], rates.output);
  return cost;
}

UsageCost costOf(const TokenTotals& totals, const std::vector<ModelUsage>& models,
                 const PriceTable& prices) {
  if (models.empty()) {
    return costOf(totals, PriceTable::kFallback, false);
  }
  UsageCost sum;
  for (const ModelUsage& usage : models) {
    sum += costOf(usage.totals, *prices.find(usage.model).price, usage.longContext);
  }
  return sum;
}

std::string exactDollars(Picodollars amount) {
  const bool negative = amount < 0;
  // The magnitude in unsigned arithmetic, so that the most negative value has one too.
  __extension__ using Unsigned = unsigned __int128;
  const Unsigned magnitude = negative ? Unsigned(0) - Unsigned(amount) : Unsigned(amount);
  const Unsigned whole = magnitude / kPicodollarsPerDollar;
  auto fraction = static_cast<std::uint64_t>(magnitude % kPicodollarsPerDollar);

  std::string digits;
  Unsigned rest = whole;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(rest % 10)));
    rest /= 10;
  } while (rest != 0);
  if (fraction != 0) {
    std::string decimals(12, '0');
    for (std::size_t i = decimals.size(); i-- > 0; fraction /= 10) {
      decimals[i] = static_cast<char>('0' + fraction % 10);
    }
    decimals.erase(decimals.find_last_not_of('0') + 1);
    digits += "." + decimals;
  }
  return (negative ? "-" : "") + digits;
}

double dollars(Picodollars amount) {
  // from_chars rounds the decimal text correctly to the nearest double, which dividing two
  // doubles would not.
  const std::string text = exactDollars(amount);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace nubrel
