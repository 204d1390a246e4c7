// The two forms of the terminal report nubrel-usage: the menu's figures as lines of text, and
// the view model's published state as one JSON object.
#pragma once

#include <string>
#include <string_view>

#include "ui/MenuModel.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

// The title, then every entry above the commands, one per line: a heading as its text, a row as
// two blanks and its text, a separator as an empty line. Ends with one line feed, never with an
// empty line. With `byModel` (the view model the menu was made from), each figure row is
// followed by a line per model, indented by four blanks: "    gpt-5.5: 1.2M • $3.40".
std::string usageReportText(const MenuDescription& menu,
                            const TokenUsageViewModel* byModel = nullptr);

// {"title", "today": {"counters", "rows", "models"} or null, "recent": [{"id", "label",
// "summary", "counters", "models"}], "month": {"id", "label", "summary", "counters", "models"} or
// null, "limits": {"observedAt", "windows": [{"id", "label", "usedPercent", "windowMinutes",
// "resetsAt" or null, "text"}]} or null}, and a line feed. "models": [{"model" ("" when
// unknown), "longContext", "fallbackPrice", "counters", "cost" ("$1.23"), "exactCost" (dollars,
// every digit: "1.2345")}]. Instants are ISO 8601 in UTC; limits are null when the menu shows
// none.
std::string usageReportJson(const TokenUsageViewModel& viewModel);

// text as a JSON string with its quotes; UTF-8 passes through, control characters are escaped.
std::string jsonQuoted(std::string_view text);

}  // namespace nubrel
