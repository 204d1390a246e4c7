// Fakes for the updater's seams: a settable clock, a main loop stepped by hand (for the schedule
// only; HTTP runs on the real GLib loop), an in-memory state store and a user driver that records
// what it was asked to show.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "updater/UpdateUserDriver.h"
#include "updater/UpdaterState.h"
#include "viewmodel/Clock.h"
#include "viewmodel/EventLoop.h"

namespace nubrel::testing {

class FakeClock : public Clock {
 public:
  Instant now() const override { return now_; }
  void advance(std::chrono::seconds by) { now_ += by; }
  Instant now_{std::chrono::seconds(1'750'000'000)};
};

class ManualEventLoop : public EventLoop {
 public:
  // The updater posts nothing; a posted task would show up as a test failure.
  void post(std::function<void()>) override { ADD_FAILURE() << "unexpected post"; }

  TimerHandle startRepeating(std::chrono::milliseconds interval,
                             std::function<void()> tick) override {
    auto timer = std::make_shared<Timer>(Timer{interval, {}, std::move(tick)});
    timers_.push_back(timer);
    return TimerHandle([timer] { timer->tick = nullptr; });
  }

  // Moves the loop's time on, firing each timer as often as its interval has passed.
  void advance(std::chrono::milliseconds by) {
    for (const auto& timer : std::vector(timers_)) {
      for (timer->elapsed += by; timer->tick && timer->elapsed >= timer->interval;) {
        timer->elapsed -= timer->interval;
        timer->tick();
      }
    }
  }

 private:
  struct Timer {
    std::chrono::milliseconds interval;
    std::chrono::milliseconds elapsed;
    std::function<void()> tick;
  };
  std::vector<std::shared_ptr<Timer>> timers_;
};

class InMemoryUpdaterState : public UpdaterState {
 public:
  std::optional<Instant> lastCheckTime() const override { return time; }
  void setLastCheckTime(Instant t) override { time = t; }
  std::optional<Instant> time;
};

// events: "checking", "found", "upToDate", "error", "dismiss", in the order asked.
class RecordingUserDriver : public UpdateUserDriver {
 public:
  void showCheckingForUpdates(std::function<void()> c) override {
    events.push_back("checking");
    cancel = std::move(c);
  }
  void showUpdateFound(const UpdateOffer& o) override {
    events.push_back("found");
    offer = o;
  }
  void showUpToDate(const UpToDateReport& r) override {
    events.push_back("upToDate");
    report = r;
  }
  void showUpdateError(const UpdateError& e) override {
    events.push_back("error");
    error = e;
  }
  void dismiss() override { events.push_back("dismiss"); }

  std::string last() const { return events.empty() ? "" : events.back(); }

  std::vector<std::string> events;
  std::function<void()> cancel;
  std::optional<UpdateOffer> offer;
  std::optional<UpToDateReport> report;
  std::optional<UpdateError> error;
};

}  // namespace nubrel::testing
