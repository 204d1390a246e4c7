// CheckForUpdatesView: the menu's "Check for Updates..." command, enabled while the updater can
// start a check, and starting one when chosen.
#pragma once

#include <functional>
#include <memory>

#include "ui/MenuModel.h"
#include "updater/GlibHandles.h"
#include "updater/SPUStandardUpdaterController.h"

namespace nubrel {

class CheckForUpdatesView : public UpdaterControlling {
 public:
  // activate brings the application's windows to the front.
  CheckForUpdatesView(std::shared_ptr<SPUStandardUpdaterController> updaterController,
                      std::function<void()> activate);

  bool canCheckForUpdates() const override;

  // Activates the application, then starts the check on a later turn of the main loop, once the
  // menu's click has been handled. Does nothing while a check cannot start, since a host may
  // deliver a click on the entry it showed disabled. Several clicks before that turn start one.
  void checkForUpdates() override;

 private:
  std::shared_ptr<SPUStandardUpdaterController> updaterController_;
  std::function<void()> activate_;
  PendingIdle pendingCheck_;
};

}  // namespace nubrel
