// KeyFilePreferences on the real disk, with whatever can sit at the file's place.
#include "platform/KeyFilePreferences.h"

#include <gtest/gtest.h>

#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel {
namespace {

constexpr const char* kKey = "NubrelHasSeenUsageData";

// A value is read back from any file that holds it; a damaged file reads as unset and the next
// write replaces it, leaving no temporary file behind.
TEST(KeyFilePreferencesTest, ValuesAreReadBackAndDamageReadsAsUnset) {
  const struct {
    const char* text;
    bool value;
    std::optional<std::int64_t> percent;
  } cases[] = {
      {"[Preferences]\nNubrelHasSeenUsageData=true\nLimitNoticePercent=-5\n", true, -5},
      {"[Preferences]\nNubrelHasSeenUsageData=perhaps\nLimitNoticePercent=high\n", false, {}},
      {"[Other]\nNubrelHasSeenUsageData=true\nLimitNoticePercent=80\n", false, {}},
      {"\x01\x02 not { a key file\n", false, {}},
  };
  testing::TempDir dir;
  const auto file = dir.path() / "preferences.ini";
  EXPECT_FALSE(KeyFilePreferences(file).getBool(kKey)) << "missing file";
  for (const auto& c : cases) {
    dir.write("preferences.ini", c.text);
    EXPECT_EQ(c.value, KeyFilePreferences(file).getBool(kKey)) << c.text;
    EXPECT_EQ(c.percent, KeyFilePreferences(file).getInteger("LimitNoticePercent")) << c.text;
    KeyFilePreferences(file).setBool(kKey, !c.value);
    EXPECT_EQ(!c.value, KeyFilePreferences(file).getBool(kKey)) << c.text;
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()), {}));
  }
}

// A FIFO would block an ordinary open until a writer came; neither it nor a directory is replaced.
TEST(KeyFilePreferencesTest, FifoOrDirectoryReadsFalseWithoutWaitingAndIsLeftAlone) {
  for (const testing::Planted kind : {testing::Planted::fifo, testing::Planted::directory}) {
    testing::TempDir dir;
    const auto file = dir.path() / "config/nubrel/preferences.ini";
    testing::plant(kind, file);
    KeyFilePreferences(file).setBool(kKey, true);
    EXPECT_FALSE(KeyFilePreferences(file).getBool(kKey)) << nameOf(kind);
    EXPECT_TRUE(testing::isStill(kind, file)) << nameOf(kind);
  }
}

}  // namespace
}  // namespace nubrel
