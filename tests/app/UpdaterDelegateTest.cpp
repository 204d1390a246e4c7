// The information dictionary that the build generates, as the program and its updater read it.
#include <gtest/gtest.h>

#include "app/UpdaterStore.h"
#include "updater/InfoDictionary.h"

namespace nubrel::testing {
namespace {

// The test program lives in build/bin like nubrel, so it finds the same build/share/nubrel.
TEST(UpdaterDelegateTest, FeedURLIsTheOneConfiguredForTheBuild) {
  class NoUpdater : public SPUUpdater {
    bool canCheckForUpdates() const override { return true; }
  } updater;
  EXPECT_EQ(NUBREL_FEED_URL, UpdaterDelegate().feedURLString(updater));
}

TEST(UpdaterDelegateTest, GeneratedDictionaryCarriesTheProgramsVersion) {
  const std::filesystem::path file = NUBREL_DATA_DIR "/Info.json";
  EXPECT_EQ("Nubrel", infoDictionaryString(file, "CFBundleName"));
  EXPECT_EQ(NUBREL_VERSION, infoDictionaryString(file, "CFBundleVersion"));
  EXPECT_EQ(NUBREL_VERSION, infoDictionaryString(file, "CFBundleShortVersionString"));
  EXPECT_TRUE(infoDictionaryString(file, "CFBundleIdentifier").has_value());
  const BundleInfo info = bundleInfo(file);
  EXPECT_EQ(NUBREL_VERSION, info.version);
}

}  // namespace
}  // namespace nubrel::testing
