// PriceCatalog: where the price lists are, and the table they make together. The built-in list
// is installed as share/nubrel/prices.json and found relative to the running program, like
// Info.json; the user's own list, $XDG_CONFIG_HOME/nubrel/prices.json, replaces or adds entries.
#pragma once

#include <filesystem>

#include "pricing/PriceTable.h"

namespace nubrel {

class PriceCatalog {
 public:
  PriceCatalog(std::filesystem::path builtIn, std::filesystem::path userOverride)
      : builtIn_(std::move(builtIn)), userOverride_(std::move(userOverride)) {}

  // The installed list beside the program and the user's under $XDG_CONFIG_HOME (an absolute
  // path), else ~/.config.
  static PriceCatalog installed();

  // Reads both files anew. A list that is missing, unreadable, not a regular file, larger than
  // 1 MiB or damaged in any way counts as empty: without a built-in list every model costs the
  // fallback price, and a damaged override leaves the built-in list as it is.
  PriceTable load() const;

  const std::filesystem::path& builtIn() const { return builtIn_; }
  const std::filesystem::path& userOverride() const { return userOverride_; }

 private:
  std::filesystem::path builtIn_;
  std::filesystem::path userOverride_;
};

}  // namespace nubrel
