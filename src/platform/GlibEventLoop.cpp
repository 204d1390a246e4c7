// GlibEventLoop: tasks and timers as GLib sources that own their std::function.
#include "platform/GlibEventLoop.h"

#include <limits>
#include <memory>
#include <utility>

namespace nubrel {
namespace {

using Task = std::function<void()>;

void deleteTask(gpointer data) {
  delete static_cast<Task*>(data);
}

gboolean runOnce(gpointer data) {
  (*static_cast<Task*>(data))();
  return G_SOURCE_REMOVE;
}

gboolean runRepeatedly(gpointer data) {
  (*static_cast<Task*>(data))();
  return G_SOURCE_CONTINUE;
}

// Attaches the source with a callback that owns the task: GLib calls deleteTask when the source
// is destroyed, whether it ran, was removed or went with its context.
void attach(GSource* source, GMainContext* context, GSourceFunc callback, Task task) {
  g_source_set_callback(source, callback, new Task(std::move(task)), deleteTask);
  g_source_attach(source, context);
}

guint clampedMilliseconds(std::chrono::milliseconds interval) {
  const auto count = interval.count();
  if (count <= 0) {
    return 0;
  }
  return count > std::numeric_limits<guint>::max() ? std::numeric_limits<guint>::max()
                                                   : static_cast<guint>(count);
}

}  // namespace

GlibEventLoop::GlibEventLoop(GMainContext* context)
    : context_(context != nullptr ? g_main_context_ref(context)
                                  : g_main_context_ref_thread_default()) {}

GlibEventLoop::~GlibEventLoop() {
  g_main_context_unref(context_);
}

void GlibEventLoop::post(std::function<void()> task) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_LOW);
  attach(source, context_, runOnce, std::move(task));
  g_source_unref(source);
}

TimerHandle GlibEventLoop::startRepeating(std::chrono::milliseconds interval,
                                          std::function<void()> tick) {
  GSource* source = g_timeout_source_new(clampedMilliseconds(interval));
  attach(source, context_, runRepeatedly, std::move(tick));
  // The handle keeps its own reference, so that cancelling is safe after the context has gone
  // or the source was destroyed some other way.
  return TimerHandle([source] {
    g_source_destroy(source);
    g_source_unref(source);
  });
}

}  // namespace nubrel
