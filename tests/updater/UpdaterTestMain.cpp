// The updater tests' main: a pinned locale, and an environment of their own, so that no test
// reads or writes the user's home, uses a proxy, or talks to an accessibility bus.
#include <glib.h>
#include <gtest/gtest.h>

#include <clocale>

#include "support/TempDir.h"

#if defined(__SANITIZE_ADDRESS__)
// GLib and GTK keep one-time allocations until exit; the leak checker would report them.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}
#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  const nubrel::testing::TempDir home;
  for (const char* name :
       {"HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
    g_setenv(name, (home.path() / name).c_str(), TRUE);
  }
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY",
                           "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY", "DBUS_SESSION_BUS_ADDRESS"}) {
    g_unsetenv(name);
  }
  g_setenv("GIO_USE_PROXY_RESOLVER", "dummy", TRUE);
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
