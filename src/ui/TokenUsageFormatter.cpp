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

std::string TokenUsageFormatter::formatCost(Picodollars amount) const {
  // Appended rather than "$" + text: GCC 12 at -O3 warns falsely (-Wrestrict) on the latter.
  std::string text = "$";
  return text.append(fixedTwo(dollars(amount)));
}

std::string TokenUsageFormatter::summary(const TokenTotals& totals, const UsageCost& cost) const {
  std::int64_t count = 0;
  for (const std::int64_t tokens : rowTokens(totals)) {
    count = saturatingAdd(count, tokens);
  }
  return formatTokens(count) + " \u2022 " + formatCost(cost.total());
}

std::array<TokenUsageFormatter::TokenBreakdown, 4> TokenUsageFormatter::breakdown(
    const TokenTotals& totals, const UsageCost& cost) const {
  constexpr Kind kKinds[] = {Kind::input, Kind::cached, Kind::output, Kind::reasoning};
  std::array<TokenBreakdown, 4> rows;
  const RowTokens tokens = rowTokens(totals);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i] = {kKinds[i], std::string(kLabels[i]), formatTokens(tokens[i]),
               formatCost(cost.rows[i])};
  }
  return rows;
}

}  // namespace nubrel
