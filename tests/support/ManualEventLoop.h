// ManualEventLoop: an EventLoop that a test steps by hand, so that a refresh can be looked at
// between its stages and the timer fires without waiting.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>

#include "viewmodel/EventLoop.h"

namespace nubrel::testing {

// Posted tasks wait until the test runs them. Timers fire only when the test advances the loop's
// own time, which starts at 0; posted tasks do not run meanwhile, so a test decides when a job
// goes on.
class ManualEventLoop : public EventLoop {
 public:
  ~ManualEventLoop() override;
  void post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  TimerHandle startRepeating(std::chrono::milliseconds interval,
                             std::function<void()> tick) override;

  bool runOne();  // false when no task was waiting
  void runUntilIdle() {
    while (runOne()) {
    }
  }
  void advance(std::chrono::milliseconds duration);
  std::size_t pendingTasks() const { return tasks_.size(); }
  std::size_t runningTimers() const { return timers_->size(); }

 private:
  struct Timer {
    std::chrono::milliseconds interval, due;
    std::function<void()> tick;
  };
  using Timers = std::map<int, Timer>;
  std::shared_ptr<Timers> timers_ = std::make_shared<Timers>();  // handles hold it weakly
  int nextTimerId_ = 1;
  std::chrono::milliseconds now_{0};
  std::deque<std::function<void()>> tasks_;
};

}  // namespace nubrel::testing
