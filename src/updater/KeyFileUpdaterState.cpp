// KeyFileUpdaterState on the key-file store, which writes a temporary file and renames it over
// the old one.
#include "updater/KeyFileUpdaterState.h"

#include <chrono>
#include <utility>

#include "platform/KeyFileStore.h"

namespace nubrel {
namespace {

constexpr const char* kGroup = "Updater";
constexpr const char* kLastCheckTime = "LastCheckTime";

// The file's keys; none when it cannot be read.
KeyFilePtr load(const std::filesystem::path& file) {
  KeyFilePtr keys = loadKeyFile(file);
  return keys ? std::move(keys) : KeyFilePtr(g_key_file_new());
}

}  // namespace

std::filesystem::path KeyFileUpdaterState::defaultFile() {
  // Not g_get_user_state_dir: it takes a relative $XDG_STATE_HOME as it is, below the current
  // directory.
  return xdgBaseDirectory("XDG_STATE_HOME", ".local/state") / "nubrel" / "updater.ini";
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
  saveKeyFile(file_, keys.get());
}

}  // namespace nubrel
