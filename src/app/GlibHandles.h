// Ownership of GLib things: a GObject reference in a unique_ptr that unrefs it, and a main-loop
// source in a move-only handle that removes it.
#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

namespace nubrel {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object != nullptr) {
      g_object_unref(object);
    }
  }
};

// Holds one reference. Floating objects (widgets) must be sunk before they are put in one.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A source attached to the default main context, removed when the handle dies or is reset.
class GlibSourceId {
 public:
  GlibSourceId() = default;
  explicit GlibSourceId(guint id) : id_(id) {}
  GlibSourceId(GlibSourceId&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
  GlibSourceId& operator=(GlibSourceId&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  GlibSourceId(const GlibSourceId&) = delete;
  GlibSourceId& operator=(const GlibSourceId&) = delete;
  ~GlibSourceId() { reset(); }

  void reset() {
    if (id_ != 0) {
      g_source_remove(std::exchange(id_, 0));
    }
  }
  // Called from the source's own callback when it returns G_SOURCE_REMOVE: GLib removes it, and
  // removing it a second time would be an error.
  void release() { id_ = 0; }
  explicit operator bool() const { return id_ != 0; }

 private:
  guint id_ = 0;
};

}  // namespace nubrel
