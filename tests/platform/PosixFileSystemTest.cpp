// The real file system: the walks, and the opens that must never block.
#include "platform/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/TempDir.h"

namespace nubrel {
namespace {

TEST(PosixFileSystemTest, WalksSkipHiddenEntriesAndOpenOnlyRegularFilesWithoutBlocking) {
  testing::TempDir dir;
  const PosixFileSystem fs;
  const auto regular = dir.write("a/b/regular.jsonl", "abc");
  dir.write("a/.hidden/inside.jsonl", "x");
  dir.write(".top.jsonl", "x");
  const auto fifo = dir.path() / "fifo.jsonl";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const auto directory = dir.path() / "dir.jsonl";
  std::filesystem::create_directory(directory);
  const auto dangling = dir.path() / "dangling.jsonl";
  std::filesystem::create_symlink(dir.path() / "nowhere", dangling);
  const auto loop = dir.path() / "loop.jsonl";
  std::filesystem::create_symlink(loop, loop);
  const auto linked = dir.path() / "a/linked.jsonl";
  std::filesystem::create_symlink(regular, linked);
  std::filesystem::create_directory_symlink(dir.path() / "a", dir.path() / "a/b/up");

  // Neither walk enters a link to a directory; the files listed are those that stat through links.
  const auto files = fs.listFiles(dir.path(), ".jsonl");
  ASSERT_TRUE(files);
  std::vector<std::filesystem::path> listed;
  for (const ListedFile& file : *files) {
    listed.push_back(file.path);
    EXPECT_EQ(file.info.isRegular, file.path == regular || file.path == linked) << file.path;
  }
  const auto entries = fs.listRecursively(dir.path());
  ASSERT_TRUE(entries);
  std::vector<std::filesystem::path> walked;
  std::ranges::copy_if(*entries, std::back_inserter(walked),
                       [](const auto& path) { return path.extension() == ".jsonl"; });
  std::ranges::sort(listed);
  std::ranges::sort(walked);
  EXPECT_EQ((std::vector{regular, linked, fifo}), listed);
  EXPECT_EQ((std::vector{regular, linked, dangling, directory, fifo, loop}), walked);
  EXPECT_EQ(std::nullopt, fs.listFiles(dir.path() / "missing", ".jsonl"));
  EXPECT_EQ(std::nullopt, fs.listRecursively(regular));

  for (const auto& refused : {fifo, directory, dangling, loop}) {
    EXPECT_EQ(nullptr, fs.openForReading(refused)) << refused;
  }
  auto file = fs.openForReading(linked);
  ASSERT_NE(nullptr, file);
  char buffer[8];
  EXPECT_TRUE(file->seek(1));
  EXPECT_EQ(2u, file->read(buffer));
  EXPECT_EQ(0u, file->read(buffer));
  EXPECT_EQ(std::nullopt, fs.info(loop));
  EXPECT_EQ(fs.info(regular)->fileNumber, fs.info(linked)->fileNumber);
}

}  // namespace
}  // namespace nubrel
