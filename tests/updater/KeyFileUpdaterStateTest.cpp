// The updater's state file on the real disk, in a temporary directory.
#include "updater/KeyFileUpdaterState.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;

class KeyFileUpdaterStateTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "state" / "nubrel" / "updater.ini";
  const Instant kTime{std::chrono::seconds(1'750'000'123)};
};

TEST_F(KeyFileUpdaterStateTest, LastCheckTimeSurvivesANewInstance) {
  EXPECT_EQ(std::nullopt, KeyFileUpdaterState(file_).lastCheckTime());
  KeyFileUpdaterState(file_).setLastCheckTime(kTime + 999ms);
  EXPECT_EQ(kTime, KeyFileUpdaterState(file_).lastCheckTime()) << "whole seconds are kept";
}

TEST_F(KeyFileUpdaterStateTest, DamagedFilesReadAsNothingRecorded) {
  const struct {
    const char* label;
    const char* contents;
  } cases[] = {{"not a key file", "\x01\x02garbage"},
               {"not a number", "[Updater]\nLastCheckTime=soon\n"},
               {"out of range", "[Updater]\nLastCheckTime=99999999999999999\n"},
               {"other group", "[Other]\nLastCheckTime=1750000123\n"}};
  for (const auto& c : cases) {
    dir_.write("damaged.ini", c.contents);
    EXPECT_EQ(std::nullopt, KeyFileUpdaterState(dir_.path() / "damaged.ini").lastCheckTime())
        << c.label;
  }
}

TEST_F(KeyFileUpdaterStateTest, UnwritablePlaceIsNotAnError) {
  // A file where the directory should be: no one, root included, can create the state there.
  dir_.write("blocked", "x");
  KeyFileUpdaterState state(dir_.path() / "blocked" / "updater.ini");
  state.setLastCheckTime(kTime);
  EXPECT_EQ(std::nullopt, state.lastCheckTime());
}

}  // namespace
}  // namespace nubrel
