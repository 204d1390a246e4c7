// KeyFileStore: open without blocking, check what was opened, write through links.
#include "platform/KeyFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

namespace nubrel {
namespace {

// Our files hold a line or two; anything this large is not one of them.
constexpr off_t kLargestFile = 64 * 1024;
// As the kernel's own limit on links followed in one lookup.
constexpr int kMostLinks = 40;

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
};

// The file that writing to path reaches: path with every symbolic link on its last component
// followed, even one whose target does not exist yet. nullopt for a loop.
std::optional<std::filesystem::path> linkTarget(std::filesystem::path path) {
  for (int i = 0; i < kMostLinks; ++i) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
      return path;
    }
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) {
      return std::nullopt;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return std::nullopt;
}

}  // namespace

KeyFilePtr loadKeyFile(const std::filesystem::path& path) {
  // Anything but a regular file is left unopened: opening a FIFO would wake a writer waiting on
  // it, or wait for one that never comes.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return nullptr;
  }
  // Something swapped in after the check still cannot make the open wait (O_NONBLOCK), and is
  // refused by the same check on what was opened.
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size > kLargestFile) {
    return nullptr;
  }
  std::string contents(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t length = 0;
  while (length < contents.size()) {
    const ssize_t got = ::read(file.fd, contents.data() + length, contents.size() - length);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return nullptr;
    }
    if (got == 0) {
      break;
    }
    length += static_cast<std::size_t>(got);
  }
  if (length > static_cast<std::size_t>(kLargestFile)) {
    return nullptr;  // grew while being read
  }
  KeyFilePtr keyFile(g_key_file_new());
  if (!g_key_file_load_from_data(keyFile.get(), contents.data(), length, G_KEY_FILE_KEEP_COMMENTS,
                                 nullptr)) {
    return nullptr;
  }
  return keyFile;
}

bool saveKeyFile(const std::filesystem::path& path, GKeyFile* keyFile) {
  const std::optional<std::filesystem::path> target = linkTarget(path);
  if (!target) {
    return false;
  }
  // A FIFO or a directory there is the user's; renaming over it would destroy it.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(*target, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return false;
  }
  const std::filesystem::path directory = target->parent_path();
  if (!directory.empty() && g_mkdir_with_parents(directory.c_str(), 0700) != 0) {
    return false;
  }
  gsize length = 0;
  gchar* contents = g_key_file_to_data(keyFile, &length, nullptr);
  const bool written =
      g_file_set_contents(target->c_str(), contents, static_cast<gssize>(length), nullptr) == TRUE;
  g_free(contents);
  return written;
}

std::filesystem::path xdgBaseDirectory(const char* variable,
                                       const std::filesystem::path& belowHome) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
    return value;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / belowHome;
  }
  return std::filesystem::path(g_get_home_dir()) / belowHome;
}

}  // namespace nubrel
