// KeyFilePreferences on the key-file store.
#include "platform/KeyFilePreferences.h"

#include <optional>

#include "platform/KeyFileStore.h"

namespace nubrel {
namespace {

constexpr const char* kGroup = "Preferences";

std::optional<bool> storedValue(GKeyFile* keyFile, const std::string& key) {
  GError* error = nullptr;
  const gboolean value = g_key_file_get_boolean(keyFile, kGroup, key.c_str(), &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  return value != FALSE;
}

}  // namespace

KeyFilePreferences::KeyFilePreferences(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path KeyFilePreferences::defaultLocation() {
  return xdgBaseDirectory("XDG_CONFIG_HOME", ".config") / "nubrel" / "preferences.ini";
}

bool KeyFilePreferences::getBool(const std::string& key) const {
  const KeyFilePtr keyFile = loadKeyFile(file_);
  return keyFile && storedValue(keyFile.get(), key).value_or(false);
}

std::optional<std::int64_t> KeyFilePreferences::getInteger(const std::string& key) const {
  const KeyFilePtr keyFile = loadKeyFile(file_);
  if (!keyFile) {
    return std::nullopt;
  }
  GError* error = nullptr;
  const gint64 value = g_key_file_get_int64(keyFile.get(), kGroup, key.c_str(), &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  return value;
}

void KeyFilePreferences::setBool(const std::string& key, bool value) {
  KeyFilePtr keyFile = loadKeyFile(file_);
  if (!keyFile) {
    keyFile.reset(g_key_file_new());
  } else if (storedValue(keyFile.get(), key) == value) {
    return;  // the view model sets the same value at every refresh; spare the disk the write
  }
  g_key_file_set_boolean(keyFile.get(), kGroup, key.c_str(), value ? TRUE : FALSE);
  saveKeyFile(file_, keyFile.get());
}

}  // namespace nubrel
