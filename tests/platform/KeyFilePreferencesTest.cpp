#include "platform/KeyFilePreferences.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TempDir.h"

namespace nubrel {
namespace {

constexpr const char* kKey = "NubrelHasSeenUsageData";

class KeyFilePreferencesTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "config/nubrel/preferences.ini";
};

TEST_F(KeyFilePreferencesTest, WrittenValueIsReadBackWithoutATemporaryFileLeft) {
  EXPECT_FALSE(KeyFilePreferences(file_).getBool(kKey)) << "missing file";
  KeyFilePreferences(file_).setBool(kKey, true);
  EXPECT_TRUE(KeyFilePreferences(file_).getBool(kKey));
  EXPECT_FALSE(KeyFilePreferences(file_).getBool("SomethingElse"));
  const auto entries = std::distance(std::filesystem::directory_iterator(file_.parent_path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(1, entries);
}

TEST_F(KeyFilePreferencesTest, DamagedFileReadsFalseAndTheNextWriteReplacesIt) {
  for (const char* damaged :
       {"\x01\x02 not { a key file\n", "[Preferences]\nNubrelHasSeenUsageData=perhaps\n", ""}) {
    dir_.write("config/nubrel/preferences.ini", damaged);
    KeyFilePreferences preferences(file_);
    EXPECT_FALSE(preferences.getBool(kKey)) << damaged;
    preferences.setBool(kKey, true);
    EXPECT_TRUE(preferences.getBool(kKey)) << damaged;
  }
}

TEST_F(KeyFilePreferencesTest, IntegerIsReadOnlyWhenTheValueIsOne) {
  EXPECT_EQ(std::nullopt, KeyFilePreferences(file_).getInteger("LimitNoticePercent"));
  const struct {
    const char* line;
    std::optional<std::int64_t> value;
  } cases[] = {{"LimitNoticePercent=80", 80},         {"LimitNoticePercent=0", 0},
               {"LimitNoticePercent=-5", -5},         {"LimitNoticePercent=high", std::nullopt},
               {"LimitNoticePercent=", std::nullopt}, {"Other=80", std::nullopt}};
  for (const auto& c : cases) {
    dir_.write("config/nubrel/preferences.ini", std::string("[Preferences]\n") + c.line + "\n");
    EXPECT_EQ(c.value, KeyFilePreferences(file_).getInteger("LimitNoticePercent")) << c.line;
  }
}

}  // namespace
}  // namespace nubrel
