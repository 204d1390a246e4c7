// UpdaterState: what the updater remembers between runs, the time of its last check, so that a
// restart does not check again before the interval has passed. The real one is
// KeyFileUpdaterState.
#pragma once

#include <optional>

#include "model/Instant.h"

namespace nubrel {

class UpdaterState {
 public:
  virtual ~UpdaterState() = default;
  // nullopt when nothing was recorded or the store cannot be read.
  virtual std::optional<Instant> lastCheckTime() const = 0;
  // Best effort: a store that cannot be written keeps what it had.
  virtual void setLastCheckTime(Instant time) = 0;
};

}  // namespace nubrel
