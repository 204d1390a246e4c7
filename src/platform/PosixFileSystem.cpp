// PosixFileSystem: stat, a readdir walk, and non-blocking opens of regular files.
#include "platform/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace nubrel {
namespace {

class PosixFile : public ReadableFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    // A failed close of a file opened for reading loses nothing; don't retry on EINTR, since
    // Linux releases the descriptor anyway.
    ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  bool seek(std::uint64_t offset) override {
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
  }

  std::optional<std::size_t> read(std::span<char> buffer) override {
    for (;;) {
      const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
      if (count >= 0) {
        return static_cast<std::size_t>(count);
      }
      if (errno != EINTR) {
        return std::nullopt;
      }
    }
  }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool isDirectory(const std::string& path, unsigned char type) {
  if (type != DT_UNKNOWN) {
    return type == DT_DIR;
  }
  // Some file systems leave d_type unset; lstat so that a link to a directory is not entered.
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void walk(const std::filesystem::path& dir, std::vector<std::filesystem::path>& out) {
  const std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
  if (!handle) {
    return;  // an unreadable directory below the top contributes nothing
  }
  while (const dirent* entry = ::readdir(handle.get())) {
    if (entry->d_name[0] == '.') {
      continue;  // hidden, and "." and ".."
    }
    std::filesystem::path path = dir / entry->d_name;
    if (isDirectory(path.native(), entry->d_type)) {
      walk(path, out);
    }
    out.push_back(std::move(path));
  }
}

FileInfo infoOf(const struct stat& st) {
  return FileInfo{
      .size = static_cast<std::uint64_t>(st.st_size),
      .fileNumber = static_cast<std::uint64_t>(st.st_ino),
      .device = static_cast<std::uint64_t>(st.st_dev),
      .modifiedNanoseconds =
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
      .isRegular = S_ISREG(st.st_mode)};
}

void walkFiles(const std::string& dir, std::string_view suffix, std::vector<ListedFile>& out) {
  const std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
  if (!handle) {
    return;
  }
  const int dirFd = ::dirfd(handle.get());
  while (const dirent* entry = ::readdir(handle.get())) {
    if (entry->d_name[0] == '.') {
      continue;
    }
    const std::string_view name(entry->d_name);
    std::string path = dir + "/" + entry->d_name;
    if (isDirectory(path, entry->d_type)) {
      walkFiles(path, suffix, out);
    } else if (name.ends_with(suffix)) {
      struct stat st {};
      if (::fstatat(dirFd, entry->d_name, &st, 0) == 0) {
        out.push_back(ListedFile{.path = std::move(path), .info = infoOf(st)});
      }
    }
  }
}

}  // namespace

std::optional<std::vector<ListedFile>> PosixFileSystem::listFiles(const std::filesystem::path& dir,
                                                                  std::string_view suffix) const {
  if (!std::unique_ptr<DIR, DirCloser>(::opendir(dir.c_str()))) {
    return std::nullopt;
  }
  std::vector<ListedFile> files;
  walkFiles(dir.native(), suffix, files);
  return files;
}

bool PosixFileSystem::exists(const std::filesystem::path& path) const {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::vector<std::filesystem::path>> PosixFileSystem::listRecursively(
    const std::filesystem::path& dir) const {
  // Opened once here only to tell "cannot be walked at all" from an empty directory.
  if (!std::unique_ptr<DIR, DirCloser>(::opendir(dir.c_str()))) {
    return std::nullopt;
  }
  std::vector<std::filesystem::path> entries;
  walk(dir, entries);
  return entries;
}

std::optional<FileInfo> PosixFileSystem::info(const std::filesystem::path& path) const {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return std::nullopt;
  }
  return infoOf(st);
}

std::unique_ptr<ReadableFile> PosixFileSystem::openForReading(
    const std::filesystem::path& path) const {
  // Devices are not even opened (opening some has side effects), and O_NONBLOCK covers a FIFO
  // put in place after this test: opening one for reading would wait for a writer forever.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) {
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    return nullptr;
  }
  return file;
}

}  // namespace nubrel
