// The terminal report's text and JSON forms.
#include "ui/UsageReport.h"

#include <charconv>
#include <cstdint>
#include <utility>

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
         (month ? figureJson(month->id, month->label, month->totals) : "null") + "}\n";
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
