// The small platform pieces: where the logs live, the GLib loop's posted tasks and timers, and
// month and weekday names in the user's language.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/GlibEventLoop.h"
#include "platform/LocaleDateNames.h"
#include "platform/SessionsDirectory.h"
#include "support/PlantedEntries.h"

namespace nubrel {
namespace {

TEST(SessionsDirectoryTest, FollowsTheAgentsHomeSettingUnlessItIsEmpty) {
  const testing::ScopedEnvironment home("HOME", "/home/someone");
  {
    const testing::ScopedEnvironment codex("CODEX_HOME", "/srv/agent");
    EXPECT_EQ("/srv/agent/sessions", sessionsDirectory());
  }
  const testing::ScopedEnvironment codex("CODEX_HOME", "");
  EXPECT_EQ("/home/someone/.codex/sessions", sessionsDirectory());
}

// Posted tasks wait for busier sources; a timer ticks until its handle dies; a task that never
// ran goes with its loop, and a timer's handle may outlive the loop.
TEST(GlibEventLoopTest, PostedTasksYieldTimersStopAndNothingOutlivesTheLoop) {
  GMainContext* context = g_main_context_new();
  auto loop = std::make_unique<GlibEventLoop>(context);
  g_main_context_unref(context);  // the loop holds it now
  std::string trace;
  loop->post([&] { trace += "a"; });
  loop->post([&] { trace += "b"; });
  GSource* urgent = g_idle_source_new();  // attached later, at the default priority
  g_source_set_callback(
      urgent,
      [](gpointer data) { return *static_cast<std::string*>(data) += "!", G_SOURCE_REMOVE; },
      &trace, nullptr);
  g_source_attach(urgent, context);
  g_source_unref(urgent);
  EXPECT_EQ("", trace);
  while (g_main_context_iteration(context, FALSE)) {
  }
  EXPECT_EQ("!ab", trace);
  int ticks = 0;
  TimerHandle timer = loop->startRepeating(std::chrono::milliseconds(1), [&] { ++ticks; });
  while (ticks < 3) {
    g_main_context_iteration(context, TRUE);
  }
  timer = loop->startRepeating(std::chrono::minutes(5), [] {});
  g_usleep(3000);  // the old timer would be due again by now
  while (g_main_context_iteration(context, FALSE)) {
  }
  auto owned = std::make_shared<int>(7);
  const std::weak_ptr<int> watch = owned;
  loop->post([owned = std::move(owned)] {});
  loop.reset();
  EXPECT_TRUE(watch.expired()) << "the task that never ran was deleted";
  EXPECT_EQ(3, ticks);
  timer.reset();
}

// Russian and Polish use another form of a month's name inside a date than on its own.
TEST(LocaleDateNamesTest, MonthNamesInDatesAndAloneAndWeekdaysFromSunday) {
  const struct {
    const char *locale, *inDate, *alone, *weekday;
    int month, day;
  } cases[] = {{"C", "December", "December", "Sun", 12, 0},
               {"de_DE.UTF-8", "März", "März", "Mo", 3, 1},
               {"ru_RU.UTF-8", "марта", "Март", "Пн", 3, 1},
               {"pl_PL.UTF-8", "września", "wrzesień", "pią", 9, 5}};
  for (const auto& c : cases) {
    const auto names = LocaleDateNames::named(c.locale);
    if (!names) {
      std::printf("skipped: locale %s is not installed\n", c.locale);
      continue;
    }
    EXPECT_EQ(c.inDate, names->monthName(c.month)) << c.locale;
    EXPECT_EQ(c.alone, names->standaloneMonthName(c.month)) << c.locale;
    EXPECT_EQ(c.weekday, names->weekdayAbbreviation(c.day)) << c.locale;
  }
  EXPECT_EQ(nullptr, LocaleDateNames::named("xx_NOWHERE.UTF-8"));
  const auto names = LocaleDateNames::named("C");
  EXPECT_EQ("", names->monthName(0) + names->standaloneMonthName(13) +
                    names->weekdayAbbreviation(-1) + names->weekdayAbbreviation(7));
}

}  // namespace
}  // namespace nubrel
