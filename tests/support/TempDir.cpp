// TempDir.
#include "support/TempDir.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace nubrel::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nubrel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  // A test may have taken away its own permissions on the directory.
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::filesystem::path& relative,
                                     std::string_view contents) {
  std::filesystem::create_directories((path_ / relative).parent_path());
  std::ofstream(path_ / relative, std::ios::binary | std::ios::trunc)
      .write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return path_ / relative;
}

void TempDir::append(const std::filesystem::path& relative, std::string_view contents) {
  std::filesystem::create_directories((path_ / relative).parent_path());
  std::ofstream(path_ / relative, std::ios::binary | std::ios::app)
      .write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

}  // namespace nubrel::testing
