// Where the agent keeps its session logs.
#pragma once

#include <filesystem>

namespace nubrel {

// $CODEX_HOME/sessions when CODEX_HOME is set and not empty (the agent's own setting), else
// ~/.codex/sessions, with the home directory from $HOME or, without it, the password database.
std::filesystem::path sessionsDirectory();

}  // namespace nubrel
