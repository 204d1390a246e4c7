// MenuContent: builds the menu-bar item and its menu from the view model's published state.
#pragma once

#include <functional>
#include <memory>

#include "ui/MenuModel.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

class MenuContent {
 public:
  // The view model and the updater controller are shared, not owned. quit ends the application.
  MenuContent(std::shared_ptr<TokenUsageViewModel> viewModel,
              std::shared_ptr<UpdaterControlling> updaterController, std::function<void()> quit);

  // The icon, the title and the entries for the current published state.
  MenuDescription describe() const;
};

}  // namespace nubrel
