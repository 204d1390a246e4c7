// What a user, a dotfile manager or a mistake can leave at the place of one of Nubrel's own
// files, planted on the real disk for the stores' tests.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace nubrel::testing {

enum class Planted { fifo, directory };

inline const char* nameOf(Planted kind) {
  return kind == Planted::fifo ? "FIFO" : "directory";
}

// Makes the entry at path, with its parent directories.
inline void plant(Planted kind, const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  if (kind == Planted::directory) {
    std::filesystem::create_directory(path);
  } else if (::mkfifo(path.c_str(), 0600) != 0) {
    throw std::runtime_error("mkfifo failed: " + path.string());
  }
}

inline bool isStill(Planted kind, const std::filesystem::path& path) {
  const auto status = std::filesystem::symlink_status(path);
  return kind == Planted::fifo ? std::filesystem::is_fifo(status)
                               : std::filesystem::is_directory(status);
}

// Sets an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace nubrel::testing
