// runMainLoopUntil and drainMainLoop.
#include "updater/MainLoop.h"

#include <glib.h>

namespace nubrel::testing {

bool runMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds guard) {
  bool expired = false;
  const GSourceFunc expire = [](gpointer flag) -> gboolean {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  };
  const guint source = g_timeout_add(static_cast<guint>(guard.count()), expire, &expired);
  while (!done() && !expired) {
    g_main_context_iteration(nullptr, TRUE);
  }
  if (!expired) {
    g_source_remove(source);
  }
  return done();
}

void drainMainLoop() {
  for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
}

}  // namespace nubrel::testing
