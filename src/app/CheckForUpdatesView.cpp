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
  pendingCheck_ = GlibSourceId(g_idle_add(
      [](gpointer data) -> gboolean {
        auto* self = static_cast<CheckForUpdatesView*>(data);
        self->pendingCheck_.release();
        // Asked again: a scheduled check may have begun since the click.
        if (self->canCheckForUpdates()) {
          self->updaterController_->checkForUpdates();
        }
        return G_SOURCE_REMOVE;
      },
      this));
}

}  // namespace nubrel
