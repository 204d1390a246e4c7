#include "platform/SessionsDirectory.h"

#include <gtest/gtest.h>

#include "support/PlantedEntries.h"

namespace nubrel {
namespace {

TEST(SessionsDirectoryTest, FollowsTheAgentsHomeWhenItIsSet) {
  const testing::ScopedEnvironment home("HOME", "/home/someone");
  for (const auto& [codexHome, expected] : {std::pair{"/srv/agent", "/srv/agent/sessions"},
                                            std::pair{"", "/home/someone/.codex/sessions"}}) {
    const testing::ScopedEnvironment codex("CODEX_HOME", codexHome);
    EXPECT_EQ(expected, sessionsDirectory()) << codexHome;
  }
  const testing::ScopedEnvironment codex("CODEX_HOME", nullptr);
  EXPECT_EQ("/home/someone/.codex/sessions", sessionsDirectory());
}

}  // namespace
}  // namespace nubrel
