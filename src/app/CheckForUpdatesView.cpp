// CheckForUpdatesView.
#include "app/CheckForUpdatesView.h"

#include <utility>

namespace nubrel {

CheckForUpdatesView::CheckForUpdatesView(
    std::shared_ptr<SPUStandardUpdaterController> updaterController, std::function<void()> activate)
    : updaterController_(std::move(updaterController)), activate_(std::move(activate)) {}

bool CheckForUpdatesView::canCheckForUpdates() const {
  return updaterController_->updater().canCheckForUpdates();
}

void CheckForUpdatesView::checkForUpdates() {
  if (!canCheckForUpdates() || pendingCheck_) {
    return;
  }
  activate_();
  pendingCheck_.schedule(G_PRIORITY_DEFAULT_IDLE, [this] {
    // Asked again: a scheduled check may have begun since the click.
    if (canCheckForUpdates()) {
      updaterController_->checkForUpdates();
    }
  });
}

}  // namespace nubrel
