// LaunchGate.
#include "app/LaunchGate.h"

#include <glib.h>

#include <utility>

namespace nubrel {

LaunchGate::LaunchGate(EventLoop& loop, std::chrono::milliseconds patience) : loop_(loop) {
  // A panel that takes the registration and never answers must not keep the figures from ever
  // being read.
  deadline_ = GlibSourceId(g_timeout_add(
      static_cast<guint>(patience.count()),
      [](gpointer data) -> gboolean {
        auto* self = static_cast<LaunchGate*>(data);
        self->deadline_.release();
        self->open();
        return G_SOURCE_REMOVE;
      },
      this));
}

void LaunchGate::open() {
  if (open_) {
    return;
  }
  open_ = true;
  deadline_.reset();
  for (std::function<void()>& task : std::exchange(held_, {})) {
    loop_.post(std::move(task));
  }
}

void LaunchGate::post(std::function<void()> task) {
  if (open_) {
    loop_.post(std::move(task));
  } else {
    held_.push_back(std::move(task));
  }
}

TimerHandle LaunchGate::startRepeating(std::chrono::milliseconds interval,
                                       std::function<void()> tick) {
  return loop_.startRepeating(interval, std::move(tick));
}

}  // namespace nubrel
