// FakeClock: a clock that stands still until the test sets or advances it.
#pragma once

#include <chrono>

#include "viewmodel/Clock.h"

namespace nubrel::testing {

class FakeClock : public Clock {
 public:
  explicit FakeClock(Instant now) : now_(now) {}
  Instant now() const override { return now_; }
  void set(Instant now) { now_ = now; }
  void advance(std::chrono::microseconds duration) { now_ += duration; }

 private:
  Instant now_;
};

}  // namespace nubrel::testing
