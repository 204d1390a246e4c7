// FakePreferences: the preferences store as a map in memory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
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
  std::optional<std::int64_t> getInteger(const std::string& key) const override {
    const auto found = integers.find(key);
    return found != integers.end() ? std::optional(found->second) : std::nullopt;
  }

  std::map<std::string, bool> values;
  std::map<std::string, std::int64_t> integers;
};

}  // namespace nubrel::testing
