// KeyFilePreferences on the real disk, with whatever can sit at the file's place.
#include "platform/KeyFilePreferences.h"

#include <gtest/gtest.h>

#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel {
namespace {

using testing::Planted;

constexpr const char* kKey = "NubrelHasSeenUsageData";

class KeyFilePreferencesTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "config/nubrel/preferences.ini";
};

// A value is read back from any file that holds it; a damaged file reads as unset and the next
// write replaces it, leaving no temporary file behind.
TEST_F(KeyFilePreferencesTest, ValuesAreReadBackAndDamageReadsAsUnset) {
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
  EXPECT_FALSE(KeyFilePreferences(file_).getBool(kKey)) << "missing file";
  for (const auto& c : cases) {
    dir_.write("config/nubrel/preferences.ini", c.text);
    EXPECT_EQ(c.value, KeyFilePreferences(file_).getBool(kKey)) << c.text;
    EXPECT_EQ(c.percent, KeyFilePreferences(file_).getInteger("LimitNoticePercent")) << c.text;
    KeyFilePreferences(file_).setBool(kKey, !c.value);
    EXPECT_EQ(!c.value, KeyFilePreferences(file_).getBool(kKey)) << c.text;
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(file_.parent_path()), {}));
  }
}

// A FIFO would block an ordinary open until a writer came; neither it nor a directory may be
// replaced by a write either.
TEST_F(KeyFilePreferencesTest, FifoOrDirectoryReadsFalseWithoutWaitingAndIsLeftAlone) {
  for (const Planted kind : {Planted::fifo, Planted::directory}) {
    std::filesystem::remove_all(file_);
    testing::plant(kind, file_);
    KeyFilePreferences preferences(file_);
    EXPECT_FALSE(preferences.getBool(kKey)) << nameOf(kind);
    preferences.setBool(kKey, true);
    EXPECT_TRUE(testing::isStill(kind, file_)) << nameOf(kind);
  }
}

}  // namespace
}  // namespace nubrel
