// KeyFilePreferences on GKeyFile and g_file_set_contents.
#include "platform/KeyFilePreferences.h"

#include <glib.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace nubrel {
namespace {

constexpr const char* kGroup = "Preferences";

struct KeyFileDeleter {
  void operator()(GKeyFile* keyFile) const { g_key_file_free(keyFile); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

// The file's contents, or nullptr when it is missing, unreadable or not a key file.
KeyFile load(const std::filesystem::path& file) {
  KeyFile keyFile(g_key_file_new());
  if (!g_key_file_load_from_file(keyFile.get(), file.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
    return nullptr;
  }
  return keyFile;
}

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
  // The XDG base directory rules: the variable counts only when it holds an absolute path.
  std::filesystem::path configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    configHome = std::filesystem::path(home) / ".config";
  } else {
    configHome = std::filesystem::path(g_get_home_dir()) / ".config";
  }
  return configHome / "nubrel" / "preferences.ini";
}

bool KeyFilePreferences::getBool(const std::string& key) const {
  const KeyFile keyFile = load(file_);
  return keyFile && storedValue(keyFile.get(), key).value_or(false);
}

std::optional<std::int64_t> KeyFilePreferences::getInteger(const std::string& key) const {
  const KeyFile keyFile = load(file_);
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
  KeyFile keyFile = load(file_);
  if (!keyFile) {
    keyFile.reset(g_key_file_new());
  } else if (storedValue(keyFile.get(), key) == value) {
    return;  // the view model sets the same value at every refresh; spare the disk the write
  }
  g_key_file_set_boolean(keyFile.get(), kGroup, key.c_str(), value ? TRUE : FALSE);

  gsize length = 0;
  gchar* contents = g_key_file_to_data(keyFile.get(), &length, nullptr);
  const std::filesystem::path directory = file_.parent_path();
  if (directory.empty() || g_mkdir_with_parents(directory.c_str(), 0700) == 0) {
    g_file_set_contents(file_.c_str(), contents, static_cast<gssize>(length), nullptr);
  }
  g_free(contents);
}

}  // namespace nubrel
