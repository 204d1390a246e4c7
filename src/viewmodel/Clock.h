// Clock: the current time, behind an interface so that tests can set it.
#pragma once

#include "model/Instant.h"

namespace nubrel {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Instant now() const = 0;
};

}  // namespace nubrel
