// PosixFileSystem: the real disk, through POSIX calls.
#pragma once

#include "service/FileSystem.h"

namespace nubrel {

class PosixFileSystem : public FileSystem {
 public:
  bool exists(const std::filesystem::path& path) const override;
  std::optional<std::vector<std::filesystem::path>> listRecursively(
      const std::filesystem::path& dir) const override;
  std::optional<FileInfo> info(const std::filesystem::path& path) const override;
  // Stats each file relative to its directory, which spares a lookup of the whole path per file.
  std::optional<std::vector<ListedFile>> listFiles(const std::filesystem::path& dir,
                                                   std::string_view suffix) const override;
  std::unique_ptr<ReadableFile> openForReading(const std::filesystem::path& path) const override;
};

}  // namespace nubrel
