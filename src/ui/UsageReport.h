// The forms of the terminal report nubrel-usage: the menu's figures as lines of text, the view
// model's published state as one JSON object, and the one-line forms that status bars read.
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

// The state a status bar styles the figures by: "loading", "error" (the logs could not be read),
// "zero" (nothing used today) or "usage".
std::string statusBarClass(const TokenUsageViewModel& viewModel);

// waybar's custom module (return-type json): {"text": the title, "tooltip": the figures below
// the title as usageReportText writes them (the menu's details when it has no figures, as after a
// failed refresh), "class": statusBarClass}, on one line.
std::string usageReportWaybar(const MenuDescription& menu, const TokenUsageViewModel& viewModel);

// i3blocks (and polybar): the full text and the short text, each on a line of its own, both the
// title; a line break inside the title would start another block field, so it becomes a space.
std::string usageReportI3blocks(const MenuDescription& menu);

// text as a JSON string with its quotes; UTF-8 passes through, control characters are escaped.
std::string jsonQuoted(std::string_view text);

}  // namespace nubrel
