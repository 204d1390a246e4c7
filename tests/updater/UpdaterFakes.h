// Fakes for the updater's seams: a settable clock, a main loop stepped by hand (for the schedule
// only; HTTP runs on the real GLib loop), an in-memory state store, a user driver that records
// what it was asked to show, and a command runner that records the commands it would run.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "updater/CommandRunner.h"
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

// events: "checking", "found", "downloading", "installing", "installed", "command", "upToDate",
// "error", "dismiss", in the order asked.
class RecordingUserDriver : public UpdateUserDriver {
 public:
  void showCheckingForUpdates(std::function<void()> c) override {
    events.push_back("checking");
    cancel = std::move(c);
  }
  void showUpdateFound(const UpdateOffer& o, std::function<void()> i) override {
    events.push_back("found");
    offer = o;
    install = std::move(i);
  }
  void showDownloading(std::function<void()> c) override {
    events.push_back("downloading");
    cancel = std::move(c);
  }
  void showInstalling() override { events.push_back("installing"); }
  void showUpdateInstalled(const UpdateOffer& o) override {
    events.push_back("installed");
    offer = o;
  }
  void showInstallCommand(const std::string& c) override {
    events.push_back("command");
    command = c;
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
  std::function<void()> install;
  std::optional<UpdateOffer> offer;
  std::optional<UpToDateReport> report;
  std::optional<UpdateError> error;
  std::string command;
};

// Records each command instead of running it, with the bytes of its last argument's file as
// they were when it was asked to run; finish() ends the command that runs.
class RecordingCommandRunner : public CommandRunner {
 public:
  bool hasProgram(const std::string& name) const override { return name != "pkexec" || hasPkexec; }
  void run(const std::vector<std::string>& argv, std::function<void(int)> done) override {
    commands.push_back(argv);
    std::ifstream file(argv.back(), std::ios::binary);
    handedOver = std::string(std::istreambuf_iterator<char>(file), {});
    done_ = std::move(done);
  }
  void finish(int status) {
    if (auto done = std::exchange(done_, nullptr)) {
      done(status);
    }
  }
  bool isRunning() const { return static_cast<bool>(done_); }

  bool hasPkexec = true;
  std::vector<std::vector<std::string>> commands;
  std::string handedOver;

 private:
  std::function<void(int)> done_;
};

}  // namespace nubrel::testing
