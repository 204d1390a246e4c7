// SPUStandardUpdaterController: assembles the updater from its real parts (GTK windows, the
// system clock, the GLib main loop, the state file, and the installer that downloads into the
// user's cache and runs pkexec) and starts it.
#include "updater/SPUStandardUpdaterController.h"

#include <utility>

#include "platform/GlibEventLoop.h"
#include "platform/SystemClock.h"
#include "updater/GtkUpdateUserDriver.h"
#include "updater/KeyFileUpdaterState.h"
#include "updater/StandardUpdater.h"
#include "updater/SubprocessRunner.h"
#include "updater/UpdateInstaller.h"

namespace nubrel {
namespace {

// The package's size comes from the feed; these bound how long its download may take.
constexpr FetchLimits kDownloadLimits{.totalTimeout = std::chrono::minutes(10),
                                      .ioTimeout = std::chrono::seconds(30)};

}  // namespace

struct SPUStandardUpdaterController::Impl {
  // Declared in the order they are needed; the updater, made last, is destroyed first.
  SystemClock clock;
  GlibEventLoop loop;
  KeyFileUpdaterState state{KeyFileUpdaterState::defaultFile()};
  GtkUpdateUserDriver driver;
  SubprocessRunner runner;
  BundleInfo bundle = bundleInfo();
  UpdateInstaller installer{runner, UpdateInstaller::defaultDownloadDir(), kDownloadLimits,
                            bundle.name + "/" + bundle.version};
  StandardUpdater updater;

  explicit Impl(std::shared_ptr<SPUUpdaterDelegate> delegate)
      : updater(bundle, std::move(delegate), driver, clock, loop, state, installer) {}
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
