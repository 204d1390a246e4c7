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
// empty line.
std::string usageReportText(const MenuDescription& menu);

// {"title", "today": {"counters", "rows"} or null, "recent": [{"id", "label", "summary",
// "counters"}], "month": {"id", "label", "summary", "counters"} or null}, and a line feed.
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
