// KeyFilePreferences: Nubrel's preferences as a GLib key file, by default
// $XDG_CONFIG_HOME/nubrel/preferences.ini (~/.config when the variable is unset).
#pragma once

#include <filesystem>
#include <string>

#include "viewmodel/Preferences.h"

namespace nubrel {

// Reads the file on every query and never keeps it open. A missing, unreadable or damaged file,
// anything but a regular file (or a link to one), and a value that is not a Boolean, read as
// false; nothing there can make a query wait. A write replaces the file atomically (a temporary
// file renamed over it), so a crash never leaves half a file; a damaged file is replaced by one
// holding only the new value, a symbolic link is kept and its target written. A write that fails,
// or would replace something other than a regular file, is dropped without a word: the store
// holds nothing that cannot be learnt again.
class KeyFilePreferences : public Preferences {
 public:
  explicit KeyFilePreferences(std::filesystem::path file = defaultLocation());

  // From the environment at the time of the call; a relative $XDG_CONFIG_HOME is ignored.
  static std::filesystem::path defaultLocation();

  bool getBool(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  std::optional<std::int64_t> getInteger(const std::string& key) const override;

  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

}  // namespace nubrel
