// MenuContent and TokenBreakdownMenu: the menu as plain entries, for any toolkit to render.
#include "ui/MenuContent.h"

#include <string>
#include <utility>

#include "ui/PlanLimitRows.h"

namespace nubrel {
namespace {

using Kind = TokenUsageFormatter::TokenBreakdown::Kind;

constexpr const char* kLoadingIcon = "hourglass";
constexpr const char* kIdleIcon = "chart.bar.fill";
constexpr const char* kRecentDayIcon = "calendar";
constexpr const char* kMonthIcon = "calendar.badge.clock";
constexpr const char* kLimitIcon = "gauge.medium";

const char* iconFor(Kind kind) {
  switch (kind) {
  case Kind::input:
    return "tray.and.arrow.down";
  case Kind::cached:
    return "internaldrive";
  case Kind::output:
    return "arrow.up.right";
  case Kind::reasoning:
    break;
  }
  return "brain.head.profile";
}

MenuEntry entry(MenuEntry::Kind kind, std::string title = {},
                std::optional<std::string> iconName = std::nullopt) {
  MenuEntry made;
  made.kind = kind;
  made.title = std::move(title);
  made.iconName = std::move(iconName);
  return made;
}

MenuEntry heading(std::string title) {
  return entry(MenuEntry::Kind::heading, std::move(title));
}

MenuEntry separator() {
  return entry(MenuEntry::Kind::separator);
}

// A figure: an ordinary enabled entry that does nothing when chosen.
MenuEntry row(std::string title, std::string iconName) {
  return entry(MenuEntry::Kind::row, std::move(title), std::move(iconName));
}

// A command with a key equivalent and an action.
MenuEntry command(std::string title, char key, std::function<void()> action) {
  MenuEntry made = entry(MenuEntry::Kind::command, std::move(title));
  made.keyEquivalent = key;
  made.action = std::move(action);
  return made;
}

}  // namespace

std::vector<MenuEntry> TokenBreakdownMenu::entries() const {
  std::vector<MenuEntry> entries{heading("Today")};
  for (const auto& line : formatter_.breakdown(totals_, cost_)) {
    entries.push_back(
        row(line.label + ": " + line.tokensText + " \u2022 " + line.costText, iconFor(line.kind)));
  }
  entries.push_back(separator());
  return entries;
}

MenuContent::MenuContent(std::shared_ptr<TokenUsageViewModel> viewModel,
                         std::shared_ptr<UpdaterControlling> updaterController,
                         std::function<void()> quit)
    : viewModel_(std::move(viewModel)),
      updaterController_(std::move(updaterController)),
      quit_(std::move(quit)) {}

MenuDescription MenuContent::describe() const {
  MenuDescription description;
  description.iconName = viewModel_->isLoading() ? kLoadingIcon : kIdleIcon;
  description.title = viewModel_->menuBarTitle();
  if (const auto& today = viewModel_->todayTotals()) {
    description.entries =
        TokenBreakdownMenu(*today, viewModel_->costOf(*today, viewModel_->todayModels()),
                           formatter_)
            .entries();
    for (const MenuEntry& entry : description.entries) {
      if (entry.kind == MenuEntry::Kind::row) {
        description.details += (description.details.empty() ? "" : "\n") + entry.title;
      }
    }
  } else if (!viewModel_->isLoading() && viewModel_->errorMessage()) {
    description.details = *viewModel_->errorMessage();
  }
  // The tooltip and the status bars carry the plan's limits too.
  const std::size_t beforeLimits = description.entries.size();
  appendLimits(description.entries);
  for (std::size_t i = beforeLimits; i < description.entries.size(); ++i) {
    if (description.entries[i].kind == MenuEntry::Kind::row && !description.details.empty()) {
      description.details += "\n" + description.entries[i].title;
    }
  }
  appendHistory(description.entries);
  appendCommands(description.entries);
  return description;
}

void MenuContent::appendLimits(std::vector<MenuEntry>& entries) const {
  const std::vector<PlanLimitRow> rows = planLimitRows(*viewModel_);
  if (rows.empty()) {
    return;
  }
  entries.push_back(heading("Limits"));
  for (const PlanLimitRow& limit : rows) {
    // Disabled: a limit is a reading, and greyed out it does not invite a click.
    MenuEntry made = row(limit.title, kLimitIcon);
    made.enabled = false;
    entries.push_back(std::move(made));
  }
  entries.push_back(separator());
}

void MenuContent::appendHistory(std::vector<MenuEntry>& entries) const {
  const auto& days = viewModel_->historicalSummaries();
  const auto& month = viewModel_->monthSummary();
  if (days.empty() && !month) {
    return;
  }
  entries.push_back(heading("Recent"));
  for (const auto& day : days) {
    entries.push_back(row(day.label + ": " + summary(day.totals, day.models), kRecentDayIcon));
  }
  if (month) {
    if (!days.empty()) {
      entries.push_back(separator());
    }
    entries.push_back(row(month->label + ": " + summary(month->totals, month->models), kMonthIcon));
  }
  entries.push_back(separator());
}

std::string MenuContent::summary(const TokenTotals& totals,
                                 const std::vector<ModelUsage>& models) const {
  return formatter_.summary(totals, viewModel_->costOf(totals, models));
}

void MenuContent::appendCommands(std::vector<MenuEntry>& entries) const {
  MenuEntry updates = entry(MenuEntry::Kind::command, "Check for Updates...");
  updates.enabled = updaterController_ && updaterController_->canCheckForUpdates();
  if (updaterController_) {
    updates.action = [weak = std::weak_ptr(updaterController_)] {
      if (const auto controller = weak.lock()) {
        controller->checkForUpdates();
      }
    };
  }
  entries.push_back(std::move(updates));
  entries.push_back(command("Refresh Now", 'r', [weak = std::weak_ptr(viewModel_)] {
    if (const auto viewModel = weak.lock()) {
      viewModel->refresh();
    }
  }));
  entries.push_back(command("Quit Nubrel", 'q', quit_));
}

}  // namespace nubrel
