// TokenTotals arithmetic.
#include "model/TokenTotals.h"

#include <algorithm>
#include <limits>
#include <ostream>

namespace nubrel {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

std::int64_t clampedDifference(std::int64_t current, std::int64_t previous) {
  return std::max<std::int64_t>(saturatingSub(current, previous), 0);
}

void mix(std::size_t& seed, std::uint64_t value) {
  // boost::hash_combine's mixing step, widened to 64 bits.
  seed ^= static_cast<std::size_t>(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_add_overflow(a, b, &result)) {
    return b > 0 ? kMax : kMin;
  }
  return result;
}

std::int64_t saturatingSub(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_sub_overflow(a, b, &result)) {
    return b < 0 ? kMax : kMin;
  }
  return result;
}

TokenTotals operator+(const TokenTotals& a, const TokenTotals& b) {
  return {
      .inputTokens = saturatingAdd(a.inputTokens, b.inputTokens),
      .cachedInputTokens = saturatingAdd(a.cachedInputTokens, b.cachedInputTokens),
      .outputTokens = saturatingAdd(a.outputTokens, b.outputTokens),
      .reasoningOutputTokens = saturatingAdd(a.reasoningOutputTokens, b.reasoningOutputTokens),
      .totalTokens = saturatingAdd(a.totalTokens, b.totalTokens),
      .cacheWriteInputTokens = saturatingAdd(a.cacheWriteInputTokens, b.cacheWriteInputTokens),
  };
}

TokenTotals& operator+=(TokenTotals& a, const TokenTotals& b) {
  return a = a + b;
}

TokenTotals& operator-=(TokenTotals& a, const TokenTotals& b) {
  return a = {
             .inputTokens = saturatingSub(a.inputTokens, b.inputTokens),
             .cachedInputTokens = saturatingSub(a.cachedInputTokens, b.cachedInputTokens),
             .outputTokens = saturatingSub(a.outputTokens, b.outputTokens),
             .reasoningOutputTokens =
                 saturatingSub(a.reasoningOutputTokens, b.reasoningOutputTokens),
             .totalTokens = saturatingSub(a.totalTokens, b.totalTokens),
             .cacheWriteInputTokens =
                 saturatingSub(a.cacheWriteInputTokens, b.cacheWriteInputTokens),
         };
}

TokenTotals TokenTotals::delta(const TokenTotals& previous) const {
  return {
      .inputTokens = clampedDifference(inputTokens, previous.inputTokens),
      .cachedInputTokens = clampedDifference(cachedInputTokens, previous.cachedInputTokens),
      .outputTokens = clampedDifference(outputTokens, previous.outputTokens),
      .reasoningOutputTokens =
          clampedDifference(reasoningOutputTokens, previous.reasoningOutputTokens),
      .totalTokens = clampedDifference(totalTokens, previous.totalTokens),
      .cacheWriteInputTokens =
          clampedDifference(cacheWriteInputTokens, previous.cacheWriteInputTokens),
  };
}

TokenTotals TokenTotals::normalized() const {
  TokenTotals n;
  n.inputTokens = std::max<std::int64_t>(inputTokens, 0);
  n.cachedInputTokens =
      n.inputTokens == 0 ? 0 : std::clamp<std::int64_t>(cachedInputTokens, 0, n.inputTokens);
  n.outputTokens = std::max<std::int64_t>(outputTokens, 0);
  n.reasoningOutputTokens =
      n.outputTokens == 0 ? 0 : std::clamp<std::int64_t>(reasoningOutputTokens, 0, n.outputTokens);
  n.cacheWriteInputTokens = std::clamp<std::int64_t>(
      cacheWriteInputTokens, 0, saturatingSub(n.inputTokens, n.cachedInputTokens));
  n.totalTokens = totalTokens > 0 ? totalTokens : saturatingAdd(n.inputTokens, n.outputTokens);
  return n;
}

std::size_t hashValue(const TokenTotals& totals) {
  std::size_t seed = 0;
  for (std::int64_t field :
       {totals.inputTokens, totals.cachedInputTokens, totals.outputTokens,
        totals.reasoningOutputTokens, totals.totalTokens, totals.cacheWriteInputTokens}) {
    mix(seed, static_cast<std::uint64_t>(field));
  }
  return seed;
}

void PrintTo(const TokenTotals& t, std::ostream* os) {
  *os << "{input " << t.inputTokens << ", cached " << t.cachedInputTokens << ", output "
      << t.outputTokens << ", reasoning " << t.reasoningOutputTokens << ", total " << t.totalTokens
      << ", cache writes " << t.cacheWriteInputTokens << "}";
}

}  // namespace nubrel
