// TokenUsageFormatter: compact counts, costs, the summary line and the breakdown rows.
#include "ui/TokenUsageFormatter.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace nubrel {
namespace {

using Kind = TokenUsageFormatter::TokenBreakdown::Kind;

// The same digits as printf("%.2f") (the double's exact value, rounded), but std::to_chars never
// reads the locale: after gtk_init a decimal-comma locale would turn printf's "3.25" into "3,25".
std::string fixedTwo(double value) {
  char text[128];
  const auto [end, error] =
      std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed, 2);
  if (error != std::errc{}) {
    return "0.00";  // not reached: every amount here is far below 10^100
  }
  return {text, end};
}

std::string decimal(std::int64_t value) {
  char text[24];
  const auto [end, error] = std::to_chars(std::begin(text), std::end(text), value);
  return {text, error == std::errc{} ? end : text};
}

// max(0, max(whole, 0) - max(part, 0)): both sides are non-negative, so this cannot overflow.
std::int64_t remainder(std::int64_t whole, std::int64_t part) {
  return std::max<std::int64_t>(std::max<std::int64_t>(whole, 0) - std::max<std::int64_t>(part, 0),
                                0);
}

double cost(std::int64_t tokens, double rate) {
  return static_cast<double>(tokens) * rate / 1'000'000.0;
}

constexpr std::string_view kLabels[] = {"Input", "Cached", "Output", "Reasoning"};
constexpr std::string_view kRawValues[] = {"input", "cached", "output", "reasoning"};

}  // namespace

std::string_view TokenUsageFormatter::TokenBreakdown::rawValue(Kind kind) {
  return kRawValues[static_cast<int>(kind)];
}

std::optional<Kind> TokenUsageFormatter::TokenBreakdown::kindFromRawValue(std::string_view raw) {
  for (Kind kind : {Kind::input, Kind::cached, Kind::output, Kind::reasoning}) {
    if (rawValue(kind) == raw) {
      return kind;
    }
  }
  return std::nullopt;
}

// The output counter includes the reasoning tokens, as the input includes the cached ones, so
// the output row holds only what is not reasoning; pricing the whole output and the reasoning
// again would charge reasoning twice. The reasoning counter is shown as the log gave it.
std::array<TokenUsageFormatter::Quantity, 4> TokenUsageFormatter::quantities(
    const TokenTotals& totals) {
  const std::int64_t uncachedInput = remainder(totals.inputTokens, totals.cachedInputTokens);
  const std::int64_t plainOutput = remainder(totals.outputTokens, totals.reasoningOutputTokens);
  return {{
      {Kind::input, uncachedInput, cost(uncachedInput, kInputRate)},
      {Kind::cached, totals.cachedInputTokens, cost(totals.cachedInputTokens, kCachedRate)},
      {Kind::output, plainOutput, cost(plainOutput, kOutputRate)},
      {Kind::reasoning, totals.reasoningOutputTokens,
       cost(totals.reasoningOutputTokens, kReasoningRate)},
  }};
}

std::string TokenUsageFormatter::formatTokens(std::int64_t count) const {
  // The magnitude in unsigned arithmetic: -INT64_MIN does not fit in an int64_t.
  const std::uint64_t magnitude =
      count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
  const double value = static_cast<double>(count);
  if (magnitude >= 1'000'000'000) {
    return abbreviated(value / 1'000'000'000.0, "B");
  }
  if (magnitude >= 1'000'000) {
    return abbreviated(value / 1'000'000.0, "M");
  }
  if (magnitude >= 1'000) {
    return abbreviated(value / 1'000.0, "K");
  }
  return decimal(count);
}

std::string TokenUsageFormatter::abbreviated(double value, std::string_view suffix) {
  std::string text = fixedTwo(value);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.ends_with('.')) {
      text.pop_back();
    }
  }
  return text.append(suffix);
}

std::string TokenUsageFormatter::formatCost(const TokenTotals& totals) const {
  double dollars = 0;
  for (const Quantity& quantity : quantities(totals)) {
    dollars = quantity.cost + dollars;
  }
  return "$" + fixedTwo(dollars);
}

std::string TokenUsageFormatter::summary(const TokenTotals& totals) const {
  std::int64_t count = 0;
  for (const Quantity& quantity : quantities(totals)) {
    count = saturatingAdd(count, quantity.tokens);
  }
  return formatTokens(count) + " \u2022 " + formatCost(totals);
}

std::array<TokenUsageFormatter::TokenBreakdown, 4> TokenUsageFormatter::breakdown(
    const TokenTotals& totals) const {
  std::array<TokenBreakdown, 4> rows;
  const auto rowQuantities = quantities(totals);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Quantity& quantity = rowQuantities[i];
    rows[i] = {quantity.kind, std::string(kLabels[static_cast<int>(quantity.kind)]),
               formatTokens(quantity.tokens), "$" + fixedTwo(quantity.cost)};
  }
  return rows;
}

}  // namespace nubrel
