// The application's information dictionary: Info.json, installed at <prefix>/share/nubrel and
// found relative to the running executable (<exe dir>/../share/nubrel/Info.json), which holds in
// the build tree as well.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace nubrel {

// The text stored under key, as it is; nullopt when the file is absent or unreadable, the key is
// absent, or its value is not text.
std::optional<std::string> infoDictionaryString(const std::string& key);

// The same lookup in a given file, for tests.
std::optional<std::string> infoDictionaryString(const std::filesystem::path& file,
                                                const std::string& key);

// What the updater needs to know about the running program.
struct BundleInfo {
  std::string name{};          // CFBundleName, else "Nubrel"
  std::string version{};       // CFBundleVersion, compared with the feed's versions
  std::string shortVersion{};  // CFBundleShortVersionString, shown to people; else version
  std::optional<std::string> publicEDKey{};  // SUPublicEDKey, as it is: checked when used
};

// Read from Info.json; each entry that is absent, empty or not text falls back (the version to
// the one compiled into the program).
BundleInfo bundleInfo();
BundleInfo bundleInfo(const std::filesystem::path& file);

}  // namespace nubrel
