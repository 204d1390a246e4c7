// FakePreferences: the preferences store as a map in memory.
#pragma once

#include <map>
#include <string>

#include "viewmodel/Preferences.h"

namespace nubrel::testing {

class FakePreferences : public Preferences {
 public:
  bool getBool(const std::string& key) const override {
    const auto found = values.find(key);
    return found != values.end() && found->second;
  }
  void setBool(const std::string& key, bool value) override { values[key] = value; }

  std::map<std::string, bool> values;
};

}  // namespace nubrel::testing
