// The real file system: the walk and the opens that must never block.
#include "platform/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/TempDir.h"

namespace nubrel {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  std::vector<std::string> list(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    const auto entries = fs_.listRecursively(dir);
    if (!entries) {
      ADD_FAILURE() << dir << " cannot be walked";
      return names;
    }
    for (const auto& entry : *entries) {
      names.push_back(entry.lexically_relative(dir).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  testing::TempDir dir_;
  PosixFileSystem fs_;
};

TEST_F(PosixFileSystemTest, WalkSkipsHiddenEntriesAndDoesNotFollowDirectoryLinks) {
  dir_.write("a/b/log.jsonl", "x");
  dir_.write("a/.hidden/inside.jsonl", "x");
  dir_.write(".top.jsonl", "x");
  std::filesystem::create_directory_symlink(dir_.path() / "a", dir_.path() / "a/b/loop");
  EXPECT_EQ((std::vector<std::string>{"a", "a/b", "a/b/log.jsonl", "a/b/loop"}), list(dir_.path()));
  EXPECT_EQ(std::nullopt, fs_.listRecursively(dir_.path() / "missing"));
  EXPECT_EQ(std::nullopt, fs_.listRecursively(dir_.path() / "a/b/log.jsonl"));
}

TEST_F(PosixFileSystemTest, OpensRegularFilesOnlyAndNeverBlocks) {
  const auto regular = dir_.write("regular.jsonl", "abc");
  const auto fifo = dir_.path() / "fifo.jsonl";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const auto directory = dir_.path() / "dir.jsonl";
  std::filesystem::create_directory(directory);
  const auto dangling = dir_.path() / "dangling.jsonl";
  std::filesystem::create_symlink(dir_.path() / "nowhere", dangling);
  const auto loop = dir_.path() / "loop.jsonl";
  std::filesystem::create_symlink(loop, loop);
  const auto linked = dir_.path() / "linked.jsonl";
  std::filesystem::create_symlink(regular, linked);

  for (const auto& refused : {fifo, directory, dangling, loop}) {
    EXPECT_EQ(nullptr, fs_.openForReading(refused)) << refused;
  }
  auto file = fs_.openForReading(linked);
  ASSERT_NE(nullptr, file);
  char buffer[8];
  EXPECT_TRUE(file->seek(1));
  EXPECT_EQ(2u, file->read(buffer));
  EXPECT_EQ(0u, file->read(buffer));
  EXPECT_EQ(std::nullopt, fs_.info(loop));
  EXPECT_EQ(3u, fs_.info(linked)->size);
  EXPECT_EQ(fs_.info(regular)->fileNumber, fs_.info(linked)->fileNumber);
}

}  // namespace
}  // namespace nubrel
