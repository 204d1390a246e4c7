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
  std::string contentsOf(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  }

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
    EXPECT_FALSE(preferences.getBool(kKey)) << nameOf(kind);
  }
}

// Dotfile managers keep the real file elsewhere and link to it, sometimes before it exists.
TEST_F(KeyFilePreferencesTest, SymbolicLinkIsKeptAndItsTargetWritten) {
  for (const bool targetExists : {true, false}) {
    const std::filesystem::path target =
        dir_.path() / (targetExists ? "dotfiles/prefs.ini" : "dotfiles/new/prefs.ini");
    if (targetExists) {
      dir_.write("dotfiles/prefs.ini", "# mine\n[Preferences]\nOther=true\n");
    }
    std::filesystem::remove(file_);
    std::filesystem::create_directories(file_.parent_path());
    std::filesystem::create_symlink(target, file_);
    KeyFilePreferences(file_).setBool(kKey, true);
    EXPECT_TRUE(std::filesystem::is_symlink(file_)) << targetExists;
    EXPECT_TRUE(KeyFilePreferences(file_).getBool(kKey)) << targetExists;
    EXPECT_NE(std::string::npos, contentsOf(target).find(kKey)) << targetExists;
  }
  EXPECT_NE(std::string::npos, contentsOf(dir_.path() / "dotfiles/prefs.ini").find("# mine"));
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
