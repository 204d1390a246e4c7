// KeyFileUpdaterState on GLib's key files; g_key_file_save_to_file writes a temporary file and
// renames it over the old one.
#include "updater/KeyFileUpdaterState.h"

#include <glib.h>

#include <chrono>
#include <memory>

namespace nubrel {
namespace {

constexpr const char* kGroup = "Updater";
constexpr const char* kLastCheckTime = "LastCheckTime";

using KeyFilePtr = std::unique_ptr<GKeyFile, decltype(&g_key_file_unref)>;

KeyFilePtr load(const std::filesystem::path& file) {
  KeyFilePtr keys(g_key_file_new(), g_key_file_unref);
  g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  return keys;
}

}  // namespace

std::filesystem::path KeyFileUpdaterState::defaultFile() {
  return std::filesystem::path(g_get_user_state_dir()) / "nubrel" / "updater.ini";
}

std::optional<Instant> KeyFileUpdaterState::lastCheckTime() const {
  const KeyFilePtr keys = load(file_);
  GError* error = nullptr;
  const gint64 seconds = g_key_file_get_int64(keys.get(), kGroup, kLastCheckTime, &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  // Beyond this a value cannot be a time of ours, and converting it would overflow.
  constexpr gint64 kLimit = gint64{1} << 40;
  if (seconds < -kLimit || seconds > kLimit) {
    return std::nullopt;
  }
  return Instant(std::chrono::seconds(seconds));
}

void KeyFileUpdaterState::setLastCheckTime(Instant time) {
  const KeyFilePtr keys = load(file_);
  const auto seconds = std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count();
  g_key_file_set_int64(keys.get(), kGroup, kLastCheckTime, static_cast<gint64>(seconds));
  g_mkdir_with_parents(file_.parent_path().c_str(), 0700);
  g_key_file_save_to_file(keys.get(), file_.c_str(), nullptr);
}

}  // namespace nubrel
