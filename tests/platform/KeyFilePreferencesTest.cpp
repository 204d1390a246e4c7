// KeyFilePreferences on the real disk, with whatever can sit at the file's place.
#include "platform/KeyFilePreferences.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

TEST_F(KeyFilePreferencesTest, ValuesAreReadBackAndDamageReadsAsUnset) {
  EXPECT_FALSE(KeyFilePreferences(file_).getBool(kKey)) << "missing file";
  KeyFilePreferences(file_).setBool(kKey, true);
  EXPECT_TRUE(KeyFilePreferences(file_).getBool(kKey));
  EXPECT_FALSE(KeyFilePreferences(file_).getBool("SomethingElse"));
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(file_.parent_path()), {}))
      << "no temporary file is left";
  const struct {
    const char* text;
    bool value;
    std::optional<std::int64_t> percent;
  } cases[] = {
      {"[Preferences]\nNubrelHasSeenUsageData=true\nLimitNoticePercent=80\n", true, 80},
      {"[Preferences]\nNubrelHasSeenUsageData=perhaps\nLimitNoticePercent=-5\n", false, -5},
      {"[Preferences]\nLimitNoticePercent=high\n", false, std::nullopt},
      {"[Other]\nNubrelHasSeenUsageData=true\nLimitNoticePercent=0\n", false, std::nullopt},
      {"\x01\x02 not { a key file\n", false, std::nullopt},
      {"", false, std::nullopt},
  };
  for (const auto& c : cases) {
    dir_.write("config/nubrel/preferences.ini", c.text);
    KeyFilePreferences preferences(file_);
    EXPECT_EQ(c.value, preferences.getBool(kKey)) << c.text;
    EXPECT_EQ(c.percent, preferences.getInteger("LimitNoticePercent")) << c.text;
    preferences.setBool(kKey, !c.value);
    EXPECT_EQ(!c.value, preferences.getBool(kKey)) << c.text;
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

// Dotfile managers keep the real file elsewhere and link to it, sometimes before it exists.
TEST_F(KeyFilePreferencesTest, SymbolicLinkIsKeptAndItsTargetWritten) {
  dir_.write("dotfiles/prefs.ini", "# mine\n[Preferences]\nOther=true\n");
  for (const char* target : {"dotfiles/prefs.ini", "dotfiles/new/prefs.ini"}) {
    std::filesystem::remove(file_);
    std::filesystem::create_directories(file_.parent_path());
    std::filesystem::create_symlink(dir_.path() / target, file_);
    KeyFilePreferences(file_).setBool(kKey, true);
    EXPECT_TRUE(std::filesystem::is_symlink(file_)) << target;
    std::stringstream text;
    text << std::ifstream(dir_.path() / target).rdbuf();
    EXPECT_NE(std::string::npos, text.str().find(kKey)) << target;
  }
  EXPECT_TRUE(KeyFilePreferences(dir_.path() / "dotfiles/prefs.ini").getBool("Other"));
}

TEST_F(KeyFilePreferencesTest, RelativeXdgConfigHomeIsIgnored) {
  const testing::ScopedEnvironment home("HOME", "/home/someone");
  for (const char* value : {"relative/config", "", "./config"}) {
    const testing::ScopedEnvironment config("XDG_CONFIG_HOME", value);
    EXPECT_EQ("/home/someone/.config/nubrel/preferences.ini", KeyFilePreferences::defaultLocation())
        << value;
  }
  const testing::ScopedEnvironment config("XDG_CONFIG_HOME", "/xdg");
  EXPECT_EQ("/xdg/nubrel/preferences.ini", KeyFilePreferences::defaultLocation());
}

}  // namespace
}  // namespace nubrel
