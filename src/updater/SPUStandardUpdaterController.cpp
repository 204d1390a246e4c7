// SPUStandardUpdaterController: assembles the updater from its real parts (GTK windows, the
// system clock, the GLib main loop and the state file) and starts it.
#include "updater/SPUStandardUpdaterController.h"

#include <utility>

#include "platform/GlibEventLoop.h"
#include "platform/SystemClock.h"
#include "updater/GtkUpdateUserDriver.h"
#include "updater/KeyFileUpdaterState.h"
#include "updater/StandardUpdater.h"

namespace nubrel {

struct SPUStandardUpdaterController::Impl {
  // Declared in the order they are needed; the updater, made last, is destroyed first.
  SystemClock clock;
  GlibEventLoop loop;
  KeyFileUpdaterState state{KeyFileUpdaterState::defaultFile()};
  GtkUpdateUserDriver driver;
  StandardUpdater updater;

  explicit Impl(std::shared_ptr<SPUUpdaterDelegate> delegate)
      : updater(bundleInfo(), std::move(delegate), driver, clock, loop, state) {}
};

SPUStandardUpdaterController::SPUStandardUpdaterController(
    bool startingUpdater, std::shared_ptr<SPUUpdaterDelegate> delegate)
    : impl_(std::make_unique<Impl>(std::move(delegate))) {
  if (startingUpdater) {
    impl_->updater.startUpdater();
  }
}

SPUStandardUpdaterController::~SPUStandardUpdaterController() = default;

SPUUpdater& SPUStandardUpdaterController::updater() {
  return impl_->updater;
}

void SPUStandardUpdaterController::checkForUpdates() {
  impl_->updater.checkForUpdates();
}

}  // namespace nubrel
