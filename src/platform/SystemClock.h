// SystemClock: the wall clock, as Nubrel's Instant.
#pragma once

#include <chrono>

#include "viewmodel/Clock.h"

namespace nubrel {

class SystemClock : public Clock {
 public:
  Instant now() const override {
    return std::chrono::time_point_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now());
  }
};

}  // namespace nubrel
