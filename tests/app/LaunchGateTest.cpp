// LaunchGate: work posted before the item is on screen waits, in order, and never forever.
#include "app/LaunchGate.h"

#include <gtest/gtest.h>

#include "support/ManualEventLoop.h"

namespace nubrel::testing {
namespace {

TEST(LaunchGateTest, HoldsPostedTasksUntilOpenedThenKeepsTheirOrder) {
  ManualEventLoop loop;
  LaunchGate gate(loop, std::chrono::hours(1));
  std::string ran;
  gate.post([&] { ran += "1"; });
  gate.post([&] { ran += "2"; });
  loop.runUntilIdle();
  EXPECT_EQ("", ran);
  gate.open();
  gate.post([&] { ran += "3"; });
  gate.open();  // a second answer from the panel changes nothing
  loop.runUntilIdle();
  EXPECT_EQ("123", ran);
}

TEST(LaunchGateTest, OpensByItselfWhenNoAnswerComes) {
  ManualEventLoop loop;
  LaunchGate gate(loop, std::chrono::milliseconds(1));
  bool ran = false;
  gate.post([&] { ran = true; });
  // The deadline is a real main-loop timeout; nothing else is attached to the default context.
  while (!gate.isOpen()) {
    g_main_context_iteration(nullptr, TRUE);
  }
  loop.runUntilIdle();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace nubrel::testing
