// Info.json lookups: the text of an entry as it is, nothing for anything else, each entry of the
// bundle falling back on its own, and a FIFO or directory in the file's place never opened.
#include "updater/InfoDictionary.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel {
namespace {

TEST(InfoDictionaryTest, OnlyTextEntriesOfAReadableObjectAreAnswered) {
  testing::TempDir dir;
  const BundleInfo info = bundleInfo(dir.write("Info.json", R"({"CFBundleName": "",
      "CFBundleVersion": " 7.1 ", "SUPublicEDKey": 42})"));
  EXPECT_EQ("Nubrel/ 7.1 / 7.1 /-", info.name + "/" + info.version + "/" + info.shortVersion + "/" +
                                        info.publicEDKey.value_or("-"));
  for (const char* json : {"CFBundleVersion=1", R"(["CFBundleVersion", "1"])",
                           R"({"CFBundleVersion": "1"} x)", "{\"CFBundleVersion\": \"\xff\"}"}) {
    EXPECT_EQ(NUBREL_VERSION, bundleInfo(dir.write("bad", json)).version) << json;
  }
}

TEST(InfoDictionaryTest, FifoOrDirectoryInItsPlaceIsNeverOpened) {
  testing::TempDir dir;
  for (const auto kind : {testing::Planted::fifo, testing::Planted::directory}) {
    const auto path = dir.path() / nameOf(kind);
    testing::plant(kind, path);
    // A writer keeps a read from blocking; inotify tells whether the lookup opened the entry.
    const int writer = open(path.c_str(), O_RDWR | O_NONBLOCK);
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
    EXPECT_EQ(std::nullopt, infoDictionaryString(path, "SUFeedURL")) << nameOf(kind);
    char event[sizeof(inotify_event) + 256];
    EXPECT_EQ(-1, read(watch, event, sizeof event)) << nameOf(kind) << " was opened";
    close(watch);
    close(writer);
  }
}

}  // namespace
}  // namespace nubrel
