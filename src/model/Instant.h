// Instant: an absolute point in time, the one time type of Nubrel.
#pragma once

#include <chrono>

namespace nubrel {

// Microseconds rather than the system clock's nanoseconds: every timestamp a log can hold (years
// 0000 to 9999) fits, and nothing in Nubrel needs finer time.
using Instant = std::chrono::sys_time<std::chrono::microseconds>;

}  // namespace nubrel
