// TempDir: a directory of its own under $TMPDIR for tests on the real disk, removed afterwards.
#pragma once

#include <filesystem>
#include <string_view>

namespace nubrel::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes (or appends to) a file below the directory, making its parents.
  std::filesystem::path write(const std::filesystem::path& relative, std::string_view contents);
  void append(const std::filesystem::path& relative, std::string_view contents);

 private:
  std::filesystem::path path_;
};

}  // namespace nubrel::testing
