// SPUStandardUpdaterController: assembles the updater from its real parts (GTK windows, the
// system clock, the GLib main loop and the state file) and starts it.
#include "updater/SPUStandardUpdaterController.h"

#include <glib.h>

#include <utility>

#include "updater/GlibHandles.h"
#include "updater/GtkUpdateUserDriver.h"
#include "updater/KeyFileUpdaterState.h"
#include "updater/StandardUpdater.h"

namespace nubrel {
namespace {

class SystemClock : public Clock {
 public:
  Instant now() const override {
    return std::chrono::time_point_cast<Instant::duration>(std::chrono::system_clock::now());
  }
};

// The updater's two uses of the main loop. A task or tick owns its std::function through the
// source's destroy notify, which GLib calls only after a running callback has returned.
class UpdaterMainLoop : public EventLoop {
 public:
  void post(std::function<void()> task) override {
    g_idle_add_full(G_PRIORITY_LOW, run<G_SOURCE_REMOVE>, new Task(std::move(task)), destroy);
  }

  TimerHandle startRepeating(std::chrono::milliseconds interval,
                             std::function<void()> tick) override {
    auto source = std::make_shared<GlibSourceId>(
        g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(interval.count()),
                           run<G_SOURCE_CONTINUE>, new Task(std::move(tick)), destroy));
    return TimerHandle([source] { source->reset(); });
  }

 private:
  using Task = std::function<void()>;
  template <gboolean result>
  static gboolean run(gpointer task) {
    (*static_cast<Task*>(task))();
    return result;
  }
  static void destroy(gpointer task) { delete static_cast<Task*>(task); }
};

}  // namespace

struct SPUStandardUpdaterController::Impl {
  // Declared in the order they are needed; the updater, made last, is destroyed first.
  SystemClock clock;
  UpdaterMainLoop loop;
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
