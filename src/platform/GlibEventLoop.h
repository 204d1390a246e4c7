// GlibEventLoop: the view model's EventLoop on a GLib main context.
#pragma once

#include <glib.h>

#include "viewmodel/EventLoop.h"

namespace nubrel {

// Posted tasks are idle sources at G_PRIORITY_LOW, so that drawing, input and timers go first;
// the repeating timer is a timeout source with millisecond precision (a seconds timeout may
// fire up to a second late the first time). Sources belong to the context, not to this object:
// a task still pending when the context is destroyed is deleted without running, and a
// TimerHandle may outlive this object.
class GlibEventLoop : public EventLoop {
 public:
  // nullptr: the thread-default main context of the process, the one gtk_main runs.
  explicit GlibEventLoop(GMainContext* context = nullptr);
  ~GlibEventLoop() override;
  GlibEventLoop(const GlibEventLoop&) = delete;
  GlibEventLoop& operator=(const GlibEventLoop&) = delete;

  void post(std::function<void()> task) override;
  TimerHandle startRepeating(std::chrono::milliseconds interval,
                             std::function<void()> tick) override;

 private:
  GMainContext* context_;  // a reference of our own
};

}  // namespace nubrel
