// LaunchGate: work posted before the item is on screen waits, in order, and never forever.
#include "app/LaunchGate.h"

#include <gtest/gtest.h>

#include "support/ManualEventLoop.h"

namespace nubrel::testing {
namespace {

TEST(LaunchGateTest, HoldsPostedTasksInOrderUntilOpenedOrTheDeadline) {
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

  // The deadline is a real main-loop timeout.
  LaunchGate unanswered(loop, std::chrono::milliseconds(1));
  unanswered.post([&] { ran += "4"; });
  while (!unanswered.isOpen()) {
    g_main_context_iteration(nullptr, TRUE);
  }
  loop.runUntilIdle();
  EXPECT_EQ("1234", ran);
}

}  // namespace
}  // namespace nubrel::testing
