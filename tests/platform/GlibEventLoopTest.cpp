#include "platform/GlibEventLoop.h"

#include <gtest/gtest.h>

#include <string>

namespace nubrel {
namespace {

// A context of its own, so that nothing is left in the default one. Tasks run after the sources
// that are busier, in the order they were posted; a timer ticks until its handle goes.
TEST(GlibEventLoopTest, PostedTasksWaitForBusierSourcesAndTimersStopWithTheirHandle) {
  GMainContext* context = g_main_context_new();
  GlibEventLoop loop(context);
  std::string trace;
  loop.post([&] { trace += "a"; });
  loop.post([&] { trace += "b"; });
  GSource* busier = g_idle_source_new();  // attached later, at the default priority
  g_source_set_callback(
      busier,
      [](gpointer data) {
        *static_cast<std::string*>(data) += "!";
        return G_SOURCE_REMOVE;
      },
      &trace, nullptr);
  g_source_attach(busier, context);
  g_source_unref(busier);
  EXPECT_EQ("", trace);
  while (g_main_context_iteration(context, FALSE)) {
  }
  EXPECT_EQ("!ab", trace);
  GMainLoop* mainLoop = g_main_loop_new(context, FALSE);
  TimerHandle timer = loop.startRepeating(std::chrono::milliseconds(1), [&] {
    if ((trace += "t").ends_with("ttt")) {
      g_main_loop_quit(mainLoop);
    }
  });
  g_main_loop_run(mainLoop);
  timer.reset();
  while (g_main_context_iteration(context, FALSE)) {
  }
  EXPECT_EQ("!abttt", trace);
  g_main_loop_unref(mainLoop);
  g_main_context_unref(context);
}

}  // namespace
}  // namespace nubrel
