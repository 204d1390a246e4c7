// MenuContent: builds the menu-bar item and its menu from the view model's published state;
// TokenBreakdownMenu builds the today block.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/TokenTotals.h"
#include "ui/MenuModel.h"
#include "ui/TokenUsageFormatter.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

// The today block: the heading "Today", the four breakdown rows with their icons, a separator.
class TokenBreakdownMenu {
 public:
  TokenBreakdownMenu(TokenTotals totals, UsageCost cost, TokenUsageFormatter formatter = {})
      : totals_(totals), cost_(cost), formatter_(formatter) {}

  std::vector<MenuEntry> entries() const;

 private:
  TokenTotals totals_;
  UsageCost cost_;
  TokenUsageFormatter formatter_;
};

class MenuContent {
 public:
  // The view model and the updater controller are shared, not owned. quit ends the application.
  // Without an updater controller the updates command is shown disabled.
  MenuContent(std::shared_ptr<TokenUsageViewModel> viewModel,
              std::shared_ptr<UpdaterControlling> updaterController, std::function<void()> quit);

  // The icon, the title and the entries for the current published state. The entries' actions
  // hold the view model and the controller weakly, so a kept description keeps neither alive.
  MenuDescription describe() const;

 private:
  void appendLimits(std::vector<MenuEntry>& entries) const;
  void appendHistory(std::vector<MenuEntry>& entries) const;
  void appendCommands(std::vector<MenuEntry>& entries) const;
  // The formatter's summary, at the view model's prices.
  std::string summary(const TokenTotals& totals, const std::vector<ModelUsage>& models) const;

  std::shared_ptr<TokenUsageViewModel> viewModel_;
  std::shared_ptr<UpdaterControlling> updaterController_;
  std::function<void()> quit_;
  TokenUsageFormatter formatter_;
};

}  // namespace nubrel
