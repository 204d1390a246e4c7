// The terminal report's text and JSON forms.
#include "ui/UsageReport.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "model/ModelUsageList.h"
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
         decimal(totals.cachedInputTokens) + R"(,"cacheWriteInputTokens":)" +
         decimal(totals.cacheWriteInputTokens) + R"(,"outputTokens":)" +
         decimal(totals.outputTokens) + R"(,"reasoningOutputTokens":)" +
         decimal(totals.reasoningOutputTokens) + R"(,"totalTokens":)" +
         decimal(totals.totalTokens) + "}";
}

// One model's part of a figure, at its price.
struct ModelFigure {
  ModelUsage usage;
  bool fallback;
  UsageCost cost;
};

std::vector<ModelFigure> modelFigures(const std::vector<ModelUsage>& models,
                                      const PriceTable& prices) {
  std::vector<ModelFigure> figures;
  for (const ModelUsage& usage : models) {
    const PriceTable::Match match = prices.find(usage.model);
    figures.push_back(
        {usage, match.fallback, costOf(usage.totals, *match.price, usage.longContext)});
  }
  return figures;
}

// "gpt-5.5", "gpt-5.5 (long context)", "o9 (fallback price)", "unknown model (fallback price)".
// The id comes from a log: a control character in it could drive the terminal, so it shows as
// "?".
std::string modelLabel(const ModelFigure& figure) {
  std::string label = figure.usage.model.empty() ? "unknown model" : figure.usage.model;
  for (char& c : label) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = '?';
    }
  }
  if (figure.usage.longContext) {
    label += " (long context)";
  }
  if (figure.fallback) {
    label += " (fallback price)";
  }
  return label;
}

std::string modelsJson(const TokenTotals& totals, const std::vector<ModelUsage>& models,
                       const PriceTable& prices) {
  const std::vector<ModelUsage> known = modelsOrUnknown(totals, models);
  std::string json;
  for (const ModelFigure& figure : modelFigures(known, prices)) {
    json += (json.empty() ? "" : ",");
    json += R"({"model":)" + jsonQuoted(figure.usage.model) + R"(,"longContext":)" +
            (figure.usage.longContext ? "true" : "false") + R"(,"fallbackPrice":)" +
            (figure.fallback ? "true" : "false") + R"(,"counters":)" +
            countersJson(figure.usage.totals) + R"(,"cost":)" +
            jsonQuoted(TokenUsageFormatter{}.formatCost(figure.cost.total())) + R"(,"exactCost":)" +
            jsonQuoted(exactDollars(figure.cost.total())) + "}";
  }
  return "[" + json + "]";
}

std::string todayJson(const TokenUsageViewModel& viewModel) {
  const std::optional<TokenTotals>& today = viewModel.todayTotals();
  if (!today) {
    return "null";
  }
  using Breakdown = TokenUsageFormatter::TokenBreakdown;
  std::string rows;
  const UsageCost cost = viewModel.costOf(*today, viewModel.todayModels());
  for (const Breakdown& row : TokenUsageFormatter{}.breakdown(*today, cost)) {
    rows += (rows.empty() ? "" : ",");
    rows += R"({"kind":)" + jsonQuoted(Breakdown::rawValue(row.kind)) + R"(,"label":)" +
            jsonQuoted(row.label) + R"(,"tokens":)" + jsonQuoted(row.tokensText) + R"(,"cost":)" +
            jsonQuoted(row.costText) + "}";
  }
  return R"({"counters":)" + countersJson(*today) + R"(,"rows":[)" + rows + R"(],"models":)" +
         modelsJson(*today, viewModel.todayModels(), viewModel.prices()) + "}";
}

std::string figureJson(const TokenUsageViewModel& viewModel, const std::string& id,
                       const std::string& label, const TokenTotals& totals,
                       const std::vector<ModelUsage>& models) {
  return R"({"id":)" + jsonQuoted(id) + R"(,"label":)" + jsonQuoted(label) + R"(,"summary":)" +
         jsonQuoted(TokenUsageFormatter{}.summary(totals, viewModel.costOf(totals, models))) +
         R"(,"counters":)" + countersJson(totals) + R"(,"models":)" +
         modelsJson(totals, models, viewModel.prices()) + "}";
}

// The lines under each of the menu's figure rows, in the menu's order: today's four rows, the
// past days, the month.
std::vector<std::vector<std::string>> modelLinesPerRow(const TokenUsageViewModel& viewModel) {
  const TokenUsageFormatter formatter;
  const auto linesFor = [&](const TokenTotals& totals, const std::vector<ModelUsage>& models,
                            auto line) {
    std::vector<std::string> lines;
    for (const ModelFigure& figure :
         modelFigures(modelsOrUnknown(totals, models), viewModel.prices())) {
      lines.push_back("    " + modelLabel(figure) + ": " + line(figure));
    }
    return lines;
  };
  std::vector<std::vector<std::string>> rows;
  if (const auto& today = viewModel.todayTotals()) {
    for (std::size_t row = 0; row < kRowCount; ++row) {
      rows.push_back(linesFor(*today, viewModel.todayModels(), [&](const ModelFigure& figure) {
        const auto parts = formatter.breakdown(figure.usage.totals, figure.cost);
        return parts[row].tokensText + " \u2022 " + parts[row].costText;
      }));
    }
  }
  const auto summaryLines = [&](const TokenTotals& totals, const std::vector<ModelUsage>& models) {
    return linesFor(totals, models, [&](const ModelFigure& figure) {
      return formatter.summary(figure.usage.totals, figure.cost);
    });
  };
  for (const auto& day : viewModel.historicalSummaries()) {
    rows.push_back(summaryLines(day.totals, day.models));
  }
  if (const auto& month = viewModel.monthSummary()) {
    rows.push_back(summaryLines(month->totals, month->models));
  }
  return rows;
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

std::string usageReportText(const MenuDescription& menu, const TokenUsageViewModel* byModel) {
  const std::vector<std::vector<std::string>> modelLines =
      byModel ? modelLinesPerRow(*byModel) : std::vector<std::vector<std::string>>{};
  std::size_t row = 0;
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
    // The limit rows, shown disabled, are readings of the plan, not figures split by model.
    if (entry.kind == MenuEntry::Kind::row && entry.enabled && row < modelLines.size()) {
      for (const std::string& line : modelLines[row]) {
        text += line + "\n";
      }
      ++row;
    }
  }
  return text;
}

std::string usageReportJson(const TokenUsageViewModel& viewModel) {
  std::string recent;
  for (const auto& day : viewModel.historicalSummaries()) {
    recent += (recent.empty() ? "" : ",") +
              figureJson(viewModel, day.id, day.label, day.totals, day.models);
  }
  const auto& month = viewModel.monthSummary();
  return R"({"title":)" + jsonQuoted(viewModel.menuBarTitle()) + R"(,"today":)" +
         todayJson(viewModel) + R"(,"recent":[)" + recent + R"(],"month":)" +
         (month ? figureJson(viewModel, month->id, month->label, month->totals, month->models)
                : "null") +
         R"(,"limits":)" + limitsJson(viewModel) + "}\n";
}

std::string statusBarClass(const TokenUsageViewModel& viewModel) {
  if (viewModel.isLoading()) {
    return "loading";
  }
  if (viewModel.errorMessage()) {
    return "error";
  }
  const auto& today = viewModel.todayTotals();
  return today && today->totalTokens > 0 ? "usage" : "zero";
}

std::string usageReportWaybar(const MenuDescription& menu, const TokenUsageViewModel& viewModel) {
  std::string figures = usageReportText(menu);
  figures.erase(0, figures.find('\n') + 1);
  if (!figures.empty()) {
    figures.pop_back();  // the final line feed
  } else {
    figures = menu.details;
  }
  return R"({"text":)" + jsonQuoted(menu.title) + R"(,"tooltip":)" + jsonQuoted(figures) +
         R"(,"class":)" + jsonQuoted(statusBarClass(viewModel)) + "}\n";
}

std::string usageReportI3blocks(const MenuDescription& menu) {
  std::string line = menu.title;
  for (char& c : line) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return line + "\n" + line + "\n";
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
