// KeyFileUpdaterState: the updater's state on disk, in a key file of its own.
#pragma once

#include <filesystem>
#include <utility>

#include "updater/UpdaterState.h"

namespace nubrel {

// A GKeyFile of the updater's own, apart from the preferences: group [Updater], key
// LastCheckTime in whole seconds since 1970 (UTC). Read and written as KeyFilePreferences does its
// file: never blocking, only a regular file (or a link to one), links kept, a crash never leaving
// half of it.
class KeyFileUpdaterState : public UpdaterState {
 public:
  explicit KeyFileUpdaterState(std::filesystem::path file) : file_(std::move(file)) {}
  // $XDG_STATE_HOME/nubrel/updater.ini, by default (and when the variable is relative)
  // ~/.local/state/nubrel/updater.ini.
  static std::filesystem::path defaultFile();

  std::optional<Instant> lastCheckTime() const override;
  void setLastCheckTime(Instant time) override;

 private:
  std::filesystem::path file_;
};

}  // namespace nubrel
