// The real file system: the walk, and the opens that must never block.
#include "platform/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/TempDir.h"

namespace nubrel {
namespace {

TEST(PosixFileSystemTest, WalkSkipsHiddenEntriesAndOpensOnlyRegularFilesWithoutBlocking) {
  testing::TempDir dir;
  const PosixFileSystem fs;
  const auto regular = dir.write("a/b/regular.jsonl", "abc");
  dir.write("a/.hidden/inside.jsonl", "x");
  const auto fifo = dir.path() / "fifo.jsonl";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const auto directory = dir.path() / "dir.jsonl";
  std::filesystem::create_directory(directory);
  const auto loop = dir.path() / "loop.jsonl";
  std::filesystem::create_symlink(loop, loop);
  const auto linked = dir.path() / "a/linked.jsonl";
  std::filesystem::create_symlink(regular, linked);
  std::filesystem::create_directory_symlink(dir.path() / "a", dir.path() / "a/b/up");

  // No link to a directory is entered; the files listed are those that stat through links.
  auto files = fs.listFiles(dir.path(), ".jsonl").value_or(std::vector<ListedFile>{});
  std::ranges::sort(files, {}, &ListedFile::path);
  ASSERT_EQ(3u, files.size());
  EXPECT_EQ((std::vector{regular, linked, fifo}),
            (std::vector{files[0].path, files[1].path, files[2].path}));
  EXPECT_EQ(files[0].info.fileNumber, files[1].info.fileNumber);
  EXPECT_FALSE(files[2].info.isRegular);

  for (const auto& refused : {fifo, directory, loop}) {
    EXPECT_EQ(nullptr, fs.openForReading(refused)) << refused;
  }
  auto file = fs.openForReading(linked);
  ASSERT_NE(nullptr, file);
  char buffer[8];
  EXPECT_TRUE(file->seek(1));
  EXPECT_EQ(2u, file->read(buffer));
  EXPECT_EQ(0u, file->read(buffer));
}

}  // namespace
}  // namespace nubrel
