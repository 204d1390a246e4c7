// Preferences: the per-user store of Nubrel's few settings. The real one is KeyFilePreferences.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nubrel {

class Preferences {
 public:
  virtual ~Preferences() = default;
  // False when the key is absent or the store cannot be read.
  virtual bool getBool(const std::string& key) const = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
  // nullopt when the key is absent, not an integer, or the store cannot be read.
  virtual std::optional<std::int64_t> getInteger(const std::string& key) const = 0;
};

}  // namespace nubrel
