// ManualEventLoop.
#include "support/ManualEventLoop.h"

#include <algorithm>

namespace nubrel::testing {

// A waiting task may hold the last reference to a view model, whose timer handle then reaches
// into timers_: drop the tasks first.
ManualEventLoop::~ManualEventLoop() {
  const auto tasks = std::move(tasks_);  // gone before the members are
}

TimerHandle ManualEventLoop::startRepeating(std::chrono::milliseconds interval,
                                            std::function<void()> tick) {
  const int id = nextTimerId_++;
  timers_->emplace(id, Timer{interval, now_ + interval, std::move(tick)});
  return TimerHandle([weakTimers = std::weak_ptr(timers_), id] {
    if (const auto timers = weakTimers.lock()) {
      timers->erase(id);
    }
  });
}

bool ManualEventLoop::runOne() {
  if (tasks_.empty()) {
    return false;
  }
  const std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  task();
  return true;
}

void ManualEventLoop::advance(std::chrono::milliseconds duration) {
  const std::chrono::milliseconds end = now_ + duration;
  const auto byDue = [](const auto& a, const auto& b) { return a.second.due < b.second.due; };
  for (auto next = std::min_element(timers_->begin(), timers_->end(), byDue);
       next != timers_->end() && next->second.due <= end;
       next = std::min_element(timers_->begin(), timers_->end(), byDue)) {
    now_ = next->second.due;
    next->second.due += next->second.interval;
    const std::function<void()> tick = next->second.tick;  // the tick may cancel its timer
    tick();
  }
  now_ = end;
}

}  // namespace nubrel::testing
