// The updater's state file on the real disk: the last check time kept across instances, and
// whatever cannot be read or written taken as nothing recorded.
#include "updater/KeyFileUpdaterState.h"

#include <gtest/gtest.h>

#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;

TEST(KeyFileUpdaterStateTest, LastCheckTimeIsKeptInWholeSecondsAndDamageReadsAsNothing) {
  testing::TempDir dir;
  const auto file = dir.path() / "state" / "nubrel" / "updater.ini";
  const Instant time{1'750'000'123s};
  EXPECT_EQ(std::nullopt, KeyFileUpdaterState(file).lastCheckTime());
  KeyFileUpdaterState(file).setLastCheckTime(time + 999ms);
  EXPECT_EQ(time, KeyFileUpdaterState(file).lastCheckTime());
  for (const char* damaged :
       {"\x01\x02garbage", "[Updater]\nLastCheckTime=soon\n",
        "[Updater]\nLastCheckTime=99999999999999999\n", "[Other]\nLastCheckTime=1750000123\n"}) {
    EXPECT_EQ(std::nullopt, KeyFileUpdaterState(dir.write("bad.ini", damaged)).lastCheckTime())
        << damaged;
  }
  // A file where the directory should be: no one, root included, can create the state there.
  KeyFileUpdaterState blocked(dir.write("blocked", "x") / "updater.ini");
  blocked.setLastCheckTime(time);
  EXPECT_EQ(std::nullopt, blocked.lastCheckTime());
}

TEST(KeyFileUpdaterStateTest, RelativeXdgStateHomeIsIgnored) {
  const testing::ScopedEnvironment home("HOME", "/home/someone");
  const testing::ScopedEnvironment state("XDG_STATE_HOME", "state");
  EXPECT_EQ("/home/someone/.local/state/nubrel/updater.ini", KeyFileUpdaterState::defaultFile());
}

}  // namespace
}  // namespace nubrel
