// Running the real GLib main loop in tests, for HTTP on both ends and for GTK.
#pragma once

#include <chrono>
#include <functional>

namespace nubrel::testing {

// Iterates the default main context until done() holds; false if it still does not after a
// generous guard time, which only keeps a broken test from hanging (nothing measures time).
bool runMainLoopUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds guard = std::chrono::seconds(30));

// Iterates until nothing is pending, so callbacks of cancelled work run before a test ends.
void drainMainLoop();

}  // namespace nubrel::testing
