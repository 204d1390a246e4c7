// Preferences: the per-user store of Nubrel's one Boolean. The real one is KeyFilePreferences.
#pragma once

#include <string>

namespace nubrel {

class Preferences {
 public:
  virtual ~Preferences() = default;
  // False when the key is absent or the store cannot be read.
  virtual bool getBool(const std::string& key) const = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
};

}  // namespace nubrel
