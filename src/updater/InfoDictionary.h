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

}  // namespace nubrel
