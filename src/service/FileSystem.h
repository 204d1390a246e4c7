// FileSystem: the service's only door to the disk, abstract so that unit tests can provoke
// failures. The real one is PosixFileSystem (platform/). Never throws: failures come back as
// empty results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace nubrel {

struct FileInfo {
  std::uint64_t size = 0;
  std::optional<std::uint64_t> fileNumber;  // the inode number
  std::uint64_t device = 0;                 // with fileNumber, the file's identity
  std::int64_t modifiedNanoseconds = 0;     // the modification time, since the epoch
  bool isRegular = true;                    // not a directory, FIFO, socket or device
};

// An open file, closed when destroyed.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  virtual bool seek(std::uint64_t offset) = 0;
  // Up to buffer.size() bytes; 0 at the end of the file; nullopt when the read fails.
  virtual std::optional<std::size_t> read(std::span<char> buffer) = 0;
};

struct ListedFile {
  std::filesystem::path path;
  FileInfo info;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Anything at the path, a file or a directory.
  virtual bool exists(const std::filesystem::path& path) const = 0;

  // Every entry below dir at any depth, in no set order. Entries whose name begins with "." are
  // left out and hidden directories are not entered; symbolic links are listed but not followed
  // into. Errors inside the walk skip what cannot be reached. nullopt when dir cannot be walked.
  virtual std::optional<std::vector<std::filesystem::path>> listRecursively(
      const std::filesystem::path& dir) const = 0;

  // Size and file number, following symbolic links; nullopt when they cannot be read.
  virtual std::optional<FileInfo> info(const std::filesystem::path& path) const = 0;

  // The entries below dir, as listRecursively has them, whose name ends in `suffix`, each with
  // its info; those whose info cannot be read are left out. nullopt when dir cannot be walked.
  virtual std::optional<std::vector<ListedFile>> listFiles(const std::filesystem::path& dir,
                                                           std::string_view suffix) const {
    std::optional<std::vector<std::filesystem::path>> paths = listRecursively(dir);
    if (!paths) {
      return std::nullopt;
    }
    std::vector<ListedFile> files;
    for (std::filesystem::path& path : *paths) {
      if (path.native().ends_with(suffix)) {
        if (std::optional<FileInfo> found = info(path)) {
          files.push_back(ListedFile{.path = std::move(path), .info = *found});
        }
      }
    }
    return files;
  }

  // Opens a regular file (after following symbolic links) for reading. Never blocks: a FIFO, a
  // device or a directory is refused like a file that cannot be opened, with nullptr.
  virtual std::unique_ptr<ReadableFile> openForReading(const std::filesystem::path& path) const = 0;
};

}  // namespace nubrel
