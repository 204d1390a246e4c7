// Owning handles for the GLib objects the updater keeps: GObject references, GLib allocations and
// main-loop sources, so that every early return and every destructor releases them.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <functional>
#include <memory>
#include <utility>

namespace nubrel {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
  void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GUriUnref {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using GUriPtr = std::unique_ptr<GUri, GUriUnref>;

// A source attached to the default main context; removing the handle removes the source. The
// callback must return G_SOURCE_REMOVE after calling release(), or G_SOURCE_CONTINUE.
class GlibSourceId {
 public:
  GlibSourceId() = default;
  explicit GlibSourceId(guint id) : id_(id) {}
  GlibSourceId(GlibSourceId&& other) noexcept : id_(std::exchange(other.id_, 0u)) {}
  GlibSourceId& operator=(GlibSourceId&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = std::exchange(other.id_, 0u);
    }
    return *this;
  }
  GlibSourceId(const GlibSourceId&) = delete;
  GlibSourceId& operator=(const GlibSourceId&) = delete;
  ~GlibSourceId() { reset(); }

  void reset() {
    if (id_ != 0) {
      g_source_remove(std::exchange(id_, 0u));
    }
  }
  // Forgets the source without removing it: for a callback that is about to return
  // G_SOURCE_REMOVE, after which GLib removes it.
  void release() { id_ = 0; }
  explicit operator bool() const { return id_ != 0; }

 private:
  guint id_ = 0;
};

// Work for one later turn of the default main loop, asked for any number of times meanwhile:
// while it is pending, further requests are folded into it. Destroying the handle cancels it.
class PendingIdle {
 public:
  // Runs task once at `priority`, unless a task is pending already (then this one is dropped).
  void schedule(int priority, std::function<void()> task) {
    if (source_) {
      return;
    }
    task_ = std::move(task);
    source_ = GlibSourceId(g_idle_add_full(
        priority,
        [](gpointer data) -> gboolean {
          auto* self = static_cast<PendingIdle*>(data);
          self->source_.release();
          // Moved out first: the task may schedule again, or destroy its owner.
          const std::function<void()> run = std::move(self->task_);
          run();
          return G_SOURCE_REMOVE;
        },
        this, nullptr));
  }
  explicit operator bool() const { return static_cast<bool>(source_); }

 private:
  std::function<void()> task_;
  GlibSourceId source_;
};

}  // namespace nubrel
