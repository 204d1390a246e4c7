#include "platform/GlibEventLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace nubrel {
namespace {

// Each test runs its own main context, so that nothing is left in the default one.
class GlibEventLoopTest : public ::testing::Test {
 protected:
  ~GlibEventLoopTest() override { g_main_context_unref(context_); }
  GMainContext* context_ = g_main_context_new();
  GlibEventLoop loop_{context_};
};

TEST_F(GlibEventLoopTest, PostedTasksRunLaterInOrderAfterBusierSources) {
  std::string trace;
  loop_.post([&] { trace += "a"; });
  loop_.post([&] { trace += "b"; });
  GSource* busier = g_idle_source_new();  // attached later, at the default priority
  g_source_set_callback(
      busier,
      [](gpointer data) {
        *static_cast<std::string*>(data) += "!";
        return G_SOURCE_REMOVE;
      },
      &trace, nullptr);
  g_source_attach(busier, context_);
  g_source_unref(busier);
  EXPECT_EQ("", trace);
  while (g_main_context_iteration(context_, FALSE)) {
  }
  EXPECT_EQ("!ab", trace);
}

TEST_F(GlibEventLoopTest, RepeatingTimerTicksUntilItsHandleDies) {
  GMainLoop* mainLoop = g_main_loop_new(context_, FALSE);
  int ticks = 0;
  TimerHandle handle = loop_.startRepeating(std::chrono::milliseconds(1), [&] {
    if (++ticks == 3) {
      g_main_loop_quit(mainLoop);
    }
  });
  g_main_loop_run(mainLoop);
  g_main_loop_unref(mainLoop);
  handle.reset();
  while (g_main_context_iteration(context_, FALSE)) {
  }
  EXPECT_EQ(3, ticks);
}

TEST(GlibEventLoopOwnTest, SourcesGoWithTheirContextAndHandlesMayOutliveIt) {
  auto owned = std::make_shared<int>(7);
  const std::weak_ptr<int> watch = owned;
  TimerHandle timer;
  {
    GMainContext* context = g_main_context_new();
    GlibEventLoop loop(context);
    g_main_context_unref(context);  // the loop holds it now
    loop.post([owned = std::move(owned)] {});
    timer = loop.startRepeating(std::chrono::minutes(5), [] {});
  }
  EXPECT_TRUE(watch.expired()) << "the task that never ran was deleted";
  timer.reset();
}

}  // namespace
}  // namespace nubrel
