// InMemoryFileSystem: a FileSystem in memory that records what was opened and can be told to
// fail, for the fuzz target that compares piecewise reads with whole ones.
#pragma once

#include <map>
#include <set>
#include <string>

#include "service/FileSystem.h"

namespace nubrel::fuzzing {

class InMemoryFileSystem : public FileSystem {
 public:
  // Files get a new file number when added or replaced; directories exist implicitly above
  // every file, and can be added empty.
  void addFile(const std::filesystem::path& path, std::string contents);
  void addDirectory(const std::filesystem::path& path);
  void append(const std::filesystem::path& path, const std::string& more);
  void replace(const std::filesystem::path& path, std::string contents);
  void truncate(const std::filesystem::path& path, std::size_t size);
  void remove(const std::filesystem::path& path);

  void failOpen(const std::filesystem::path& path) { failOpen_.insert(path); }
  void failSeek(const std::filesystem::path& path) { failSeek_.insert(path); }
  // Reads of the file fail once this many bytes of it were handed out in one open.
  void failReadAfter(const std::filesystem::path& path, std::size_t bytes) {
    failReadAfter_[path] = bytes;
  }
  void failInfo(const std::filesystem::path& path) { failInfo_.insert(path); }
  // At most this many bytes per read call, so that tests see lines cut across chunks.
  void setReadSize(std::size_t bytes) { readSize_ = bytes; }

  mutable std::vector<std::filesystem::path> filesOpened;

  bool exists(const std::filesystem::path& path) const override;
  std::optional<std::vector<std::filesystem::path>> listRecursively(
      const std::filesystem::path& dir) const override;
  std::optional<FileInfo> info(const std::filesystem::path& path) const override;
  std::unique_ptr<ReadableFile> openForReading(const std::filesystem::path& path) const override;

 private:
  struct File {
    std::string contents;
    std::uint64_t number = 0;
    std::int64_t modified = 0;
  };
  std::map<std::filesystem::path, File> files_;
  std::set<std::filesystem::path> directories_;
  std::uint64_t nextNumber_ = 1;
  std::int64_t changes_ = 0;
  std::set<std::filesystem::path> failOpen_, failSeek_, failInfo_;
  std::map<std::filesystem::path, std::size_t> failReadAfter_;
  std::size_t readSize_ = 1 << 20;
};

}  // namespace nubrel::fuzzing
