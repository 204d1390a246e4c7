// The information dictionary that the build generates, as the program and its updater read it.
#include <gtest/gtest.h>

#include "app/UpdaterStore.h"
#include "support/TempDir.h"
#include "updater/InfoDictionary.h"

namespace nubrel::testing {
namespace {

class IdleUpdater : public SPUUpdater {
  bool canCheckForUpdates() const override { return true; }
  void setCanCheckForUpdatesObserver(std::function<void()>) override {}
};

// The test program lives in build/bin like nubrel, so it finds the same build/share/nubrel.
TEST(UpdaterDelegateTest, FeedURLIsTheOneConfiguredForTheBuild) {
  EXPECT_EQ(NUBREL_FEED_URL, UpdaterDelegate().feedURLString(IdleUpdater()));
}

TEST(UpdaterDelegateTest, TextIsTakenAsItIsAndAnythingElseGivesTheDefault) {
  TempDir dir;
  const struct {
    const char* json;
    const char* expected;
  } cases[] = {
      {R"({"SUFeedURL": " https://example.com/feed.xml"})", " https://example.com/feed.xml"},
      {R"({"SUFeedURL": ""})", ""},
      {R"({"SUFeedURL": 42})", UpdaterDelegate::kDefaultFeedURL},
      {R"({"CFBundleName": "Nubrel"})", UpdaterDelegate::kDefaultFeedURL},
  };
  for (const auto& c : cases) {
    const UpdaterDelegate delegate(dir.write("Info.json", c.json));
    EXPECT_EQ(c.expected, delegate.feedURLString(IdleUpdater())) << c.json;
  }
  EXPECT_EQ(UpdaterDelegate::kDefaultFeedURL,
            UpdaterDelegate(dir.path() / "missing.json").feedURLString(IdleUpdater()));
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
