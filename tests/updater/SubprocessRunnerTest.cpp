// Running real commands: their exit statuses, reported on a later turn of the main loop, and a
// runner that goes before its commands end.
#include "updater/SubprocessRunner.h"

#include <gtest/gtest.h>

#include "updater/MainLoop.h"

namespace nubrel {
namespace {

TEST(SubprocessRunnerTest, ReportsEachCommandsExitStatusLaterAndNothingOnceGone) {
  auto runner = std::make_unique<SubprocessRunner>();
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"true"}, 0},
      {{"sh", "-c", "echo printed; echo complained >&2; exit 3"}, 3},
      {{"sh", "-c", "kill -TERM $$"}, -1},
      {{"no-such-program-nubrel"}, -1},
  };
  for (const auto& [argv, expected] : cases) {
    std::optional<int> status;
    runner->run(argv, [&](int s) { status = s; });
    EXPECT_FALSE(status) << "reported from inside run";
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return status.has_value(); })) << argv.back();
    EXPECT_EQ(expected, status) << argv.back();
  }
  EXPECT_TRUE(runner->hasProgram("sh"));
  EXPECT_FALSE(runner->hasProgram("no-such-program-nubrel"));
  int calls = 0;
  runner->run({"true"}, [&](int) { ++calls; });
  runner->run({"no-such-program-nubrel"}, [&](int) { ++calls; });
  runner.reset();
  testing::drainMainLoop();
  EXPECT_EQ(0, calls);
}

}  // namespace
}  // namespace nubrel
