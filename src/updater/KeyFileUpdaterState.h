// KeyFileUpdaterState: the updater's state on disk, in a key file of its own.
#pragma once

#include <filesystem>
#include <utility>

#include "updater/UpdaterState.h"

namespace nubrel {

// A GKeyFile of the updater's own, apart from the preferences: group [Updater], key
// LastCheckTime in whole seconds since 1970 (UTC). Written by replacing the file, so a crash never
// leaves half of it.
class KeyFileUpdaterState : public UpdaterState {
 public:
  explicit KeyFileUpdaterState(std::filesystem::path file) : file_(std::move(file)) {}
  // $XDG_STATE_HOME/nubrel/updater.ini, by default ~/.local/state/nubrel/updater.ini.
  static std::filesystem::path defaultFile();

  std::optional<Instant> lastCheckTime() const override;
  void setLastCheckTime(Instant time) override;

 private:
  std::filesystem::path file_;
};

}  // namespace nubrel
