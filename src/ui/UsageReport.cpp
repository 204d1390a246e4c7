// The terminal report's text and JSON forms.
#include "ui/UsageReport.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "ui/PlanLimitRows.h"
#include "ui/TokenUsageFormatter.h"

namespace nubrel {
namespace {

// Locale-free, as every number Nubrel shows.
std::string decimal(std::int64_t value) {
  char text[24];
  const auto result = std::to_chars(std::begin(text), std::end(text), value);
  return {text, result.ptr};
}

std::string countersJson(const TokenTotals& totals) {
  return R"({"inputTokens":)" + decimal(totals.inputTokens) + R"(,"cachedInputTokens":)" +
         decimal(totals.cachedInputTokens) + R"(,"outputTokens":)" + decimal(totals.outputTokens) +
         R"(,"reasoningOutputTokens":)" + decimal(totals.reasoningOutputTokens) +
         R"(,"totalTokens":)" + decimal(totals.totalTokens) + "}";
}

std::string todayJson(const std::optional<TokenTotals>& today) {
  if (!today) {
    return "null";
  }
  using Breakdown = TokenUsageFormatter::TokenBreakdown;
  std::string rows;
  for (const Breakdown& row : TokenUsageFormatter{}.breakdown(*today)) {
    rows += (rows.empty() ? "" : ",");
    rows += R"({"kind":)" + jsonQuoted(Breakdown::rawValue(row.kind)) + R"(,"label":)" +
            jsonQuoted(row.label) + R"(,"tokens":)" + jsonQuoted(row.tokensText) + R"(,"cost":)" +
            jsonQuoted(row.costText) + "}";
  }
  return R"({"counters":)" + countersJson(*today) + R"(,"rows":[)" + rows + "]}";
}

std::string figureJson(const std::string& id, const std::string& label, const TokenTotals& totals) {
  return R"({"id":)" + jsonQuoted(id) + R"(,"label":)" + jsonQuoted(label) + R"(,"summary":)" +
         jsonQuoted(TokenUsageFormatter{}.summary(totals)) + R"(,"counters":)" +
         countersJson(totals) + "}";
}

// "2025-11-17T21:38:46.709Z": UTC, with the fraction only when there is one, in milliseconds
// when they are exact (as the agent writes them), else in microseconds.
std::string isoInstant(Instant instant) {
  using namespace std::chrono;
  const auto day = floor<days>(instant);
  const year_month_day date{day};
  const hh_mm_ss time{instant - day};
  const auto micros = static_cast<long long>(time.subseconds().count());
  char text[64];
  int length = std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
      static_cast<long long>(time.seconds().count()));
  if (micros % 1000 != 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                            ".%06lld", micros);
  } else if (micros != 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                            ".%03lld", micros / 1000);
  }
  return std::string(text, static_cast<std::size_t>(length)) + "Z";
}

// The shortest text that reads back as the same double; null for what JSON cannot hold.
std::string numberJson(double value) {
  if (!std::isfinite(value)) {
    return "null";
  }
  char text[32];
  const auto result = std::to_chars(std::begin(text), std::end(text), value);
  return {text, result.ptr};
}

std::string limitsJson(const TokenUsageViewModel& viewModel) {
  const std::vector<PlanLimitRow> rows = planLimitRows(viewModel);
  if (rows.empty()) {
    return "null";
  }
  std::string windows;
  for (const PlanLimitRow& row : rows) {
    windows += (windows.empty() ? "" : ",");
    windows += R"({"id":)" + jsonQuoted(row.id) + R"(,"label":)" + jsonQuoted(row.name) +
               R"(,"usedPercent":)" + numberJson(row.window.usedPercent) + R"(,"windowMinutes":)" +
               decimal(row.window.windowMinutes) + R"(,"resetsAt":)" +
               (row.window.resetsAt ? jsonQuoted(isoInstant(*row.window.resetsAt)) : "null") +
               R"(,"text":)" + jsonQuoted(row.title) + "}";
  }
  return R"({"observedAt":)" + jsonQuoted(isoInstant(viewModel.rateLimits()->observedAt)) +
         R"(,"windows":[)" + windows + "]}";
}

}  // namespace

std::string usageReportText(const MenuDescription& menu) {
  std::string text = menu.title + "\n";
  std::string pendingBlankLines;  // written only when something follows them
  for (const MenuEntry& entry : menu.entries) {
    if (entry.kind == MenuEntry::Kind::command) {
      break;
    }
    if (entry.kind == MenuEntry::Kind::separator) {
      pendingBlankLines += "\n";
      continue;
    }
    text += std::exchange(pendingBlankLines, "");
    text += (entry.kind == MenuEntry::Kind::row ? "  " : "") + entry.title + "\n";
  }
  return text;
}

std::string usageReportJson(const TokenUsageViewModel& viewModel) {
  std::string recent;
  for (const auto& day : viewModel.historicalSummaries()) {
    recent += (recent.empty() ? "" : ",") + figureJson(day.id, day.label, day.totals);
  }
  const auto& month = viewModel.monthSummary();
  return R"({"title":)" + jsonQuoted(viewModel.menuBarTitle()) + R"(,"today":)" +
         todayJson(viewModel.todayTotals()) + R"(,"recent":[)" + recent + R"(],"month":)" +
         (month ? figureJson(month->id, month->label, month->totals) : "null") + R"(,"limits":)" +
         limitsJson(viewModel) + "}\n";
}

std::string jsonQuoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '"':
      quoted += "\\\"";
      break;
    case '\\':
      quoted += "\\\\";
      break;
    case '\n':
      quoted += "\\n";
      break;
    case '\t':
      quoted += "\\t";
      break;
    default:
      if (byte < 0x20 || byte == 0x7F) {
        quoted += "\\u00";
        quoted += kHex[byte >> 4];
        quoted += kHex[byte & 0xF];
      } else {
        quoted += c;
      }
    }
  }
  return quoted + "\"";
}

}  // namespace nubrel
