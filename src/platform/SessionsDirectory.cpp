// Where the agent keeps its session logs.
#include "platform/SessionsDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace nubrel {

std::filesystem::path sessionsDirectory() {
  if (const char* codexHome = std::getenv("CODEX_HOME"); codexHome && *codexHome) {
    return std::filesystem::path(codexHome) / "sessions";
  }
  std::filesystem::path home;
  if (const char* env = std::getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
    home = entry->pw_dir;
  }
  return home / ".codex" / "sessions";
}

}  // namespace nubrel
