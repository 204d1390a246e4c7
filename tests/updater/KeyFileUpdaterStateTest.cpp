// The updater's state file on the real disk, in a temporary directory.
#include "updater/KeyFileUpdaterState.h"

#include <gtest/gtest.h>

#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
using testing::Planted;

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

TEST_F(KeyFileUpdaterStateTest, FifoOrDirectoryRecordsNothingWithoutWaitingAndIsLeftAlone) {
  for (const Planted kind : {Planted::fifo, Planted::directory}) {
    std::filesystem::remove_all(file_);
    testing::plant(kind, file_);
    KeyFileUpdaterState state(file_);
    EXPECT_EQ(std::nullopt, state.lastCheckTime()) << nameOf(kind);
    state.setLastCheckTime(kTime);
    EXPECT_TRUE(testing::isStill(kind, file_)) << nameOf(kind);
  }
}

TEST_F(KeyFileUpdaterStateTest, SymbolicLinkIsKeptAndItsTargetWritten) {
  const std::filesystem::path target = dir_.path() / "elsewhere" / "updater.ini";
  std::filesystem::create_directories(file_.parent_path());
  std::filesystem::create_symlink(target, file_);
  KeyFileUpdaterState(file_).setLastCheckTime(kTime);
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(kTime, KeyFileUpdaterState(target).lastCheckTime());
  EXPECT_EQ(kTime, KeyFileUpdaterState(file_).lastCheckTime());
}

TEST_F(KeyFileUpdaterStateTest, RelativeXdgStateHomeIsIgnored) {
  const testing::ScopedEnvironment home("HOME", "/home/someone");
  const testing::ScopedEnvironment state("XDG_STATE_HOME", "state");
  EXPECT_EQ("/home/someone/.local/state/nubrel/updater.ini", KeyFileUpdaterState::defaultFile());
}

}  // namespace
}  // namespace nubrel
