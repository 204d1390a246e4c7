// LaunchGate: the main loop as the view model sees it, holding back posted work until the
// menu-bar item is on screen.
#pragma once

#include <functional>
#include <vector>

#include "updater/GlibHandles.h"
#include "viewmodel/EventLoop.h"

namespace nubrel {

// A refresh stage reads logs synchronously on the main thread, and the tray item registers
// with the panel through several bus round trips, each of which leaves the loop idle. Posted at
// background priority, the first refresh's stages would fill those idle moments, and with a
// large log tree the item would appear only when the refresh was done (seconds later, with its
// "Loading…" state never seen). Tasks posted before open() wait here and then run in order.
class LaunchGate : public EventLoop {
 public:
  // loop must outlive the gate. The gate opens by itself after patience at the latest.
  LaunchGate(EventLoop& loop, std::chrono::milliseconds patience);

  // Hands the held tasks on, in order; later posts go straight through. Idempotent.
  void open();
  bool isOpen() const { return open_; }

  void post(std::function<void()> task) override;
  TimerHandle startRepeating(std::chrono::milliseconds interval,
                             std::function<void()> tick) override;

 private:
  EventLoop& loop_;
  bool open_ = false;
  std::vector<std::function<void()>> held_;
  GlibSourceId deadline_;
};

}  // namespace nubrel
