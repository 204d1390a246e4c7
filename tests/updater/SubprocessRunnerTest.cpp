// Running real commands: their exit statuses, a program that cannot start, and a runner that
// goes before its command ends.
#include "updater/SubprocessRunner.h"

#include <gtest/gtest.h>

#include <optional>

#include "updater/MainLoop.h"

namespace nubrel {
namespace {

TEST(SubprocessRunnerTest, ReportsEachCommandsExitStatusLater) {
  SubprocessRunner runner;
  const struct {
    std::vector<std::string> argv;
    int status;
  } cases[] = {
      {{"true"}, 0},
      {{"sh", "-c", "exit 126"}, 126},
      {{"sh", "-c", "echo printed; echo complained >&2; exit 3"}, 3},
      {{"sh", "-c", "kill -TERM $$"}, -1},
      {{"no-such-program-nubrel"}, -1},
  };
  for (const auto& c : cases) {
    std::optional<int> status;
    runner.run(c.argv, [&](int s) { status = s; });
    EXPECT_FALSE(status) << "reported from inside run: " << c.argv.back();
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return status.has_value(); })) << c.argv.back();
    EXPECT_EQ(c.status, status) << c.argv.back();
  }
  EXPECT_TRUE(runner.hasProgram("sh"));
  EXPECT_FALSE(runner.hasProgram("no-such-program-nubrel"));
}

TEST(SubprocessRunnerTest, GoneRunnerCallsNobodyBack) {
  int calls = 0;
  {
    SubprocessRunner runner;
    runner.run({"sh", "-c", "exit 0"}, [&](int) { ++calls; });
    runner.run({"no-such-program-nubrel"}, [&](int) { ++calls; });
  }
  testing::drainMainLoop();
  EXPECT_EQ(0, calls);
}

}  // namespace
}  // namespace nubrel
