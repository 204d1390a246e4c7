// EventLoop: what the view model needs of the UI thread's main loop, behind an interface so that
// tests can run a refresh stage by stage. The real one is GlibEventLoop.
#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace nubrel {

// A running timer; destroying the handle stops it. Move-only.
class TimerHandle {
 public:
  TimerHandle() = default;
  explicit TimerHandle(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  TimerHandle(TimerHandle&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  TimerHandle& operator=(TimerHandle&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  ~TimerHandle() { reset(); }

  void reset() {
    if (cancel_) {
      std::exchange(cancel_, nullptr)();
    }
  }
  explicit operator bool() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs task on a later turn of the loop, at background priority, after pending UI events.
  virtual void post(std::function<void()> task) = 0;
  // Calls tick every interval, the first time one interval from now, until the handle dies.
  virtual TimerHandle startRepeating(std::chrono::milliseconds interval,
                                     std::function<void()> tick) = 0;
};

}  // namespace nubrel
