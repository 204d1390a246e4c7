// SubprocessRunner on GSubprocess: the wait is asynchronous on the main loop, and cancelling it
// (when the runner goes) leaves the process running but calls nobody back.
#include "updater/SubprocessRunner.h"

#include <gio/gio.h>

#include <memory>
#include <utility>

#include "updater/GlibHandles.h"

namespace nubrel {
namespace {

using Done = std::function<void(int status)>;

// Reports on a fresh turn of the main loop, as the contract says even when nothing started.
void reportLater(GCancellable* cancellable, Done done, int status) {
  struct Pending {
    GObjectPtr<GCancellable> cancellable;
    Done done;
    int status;
  };
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) {
        auto* pending = static_cast<Pending*>(data);
        if (!g_cancellable_is_cancelled(pending->cancellable.get())) {
          pending->done(pending->status);
        }
        return G_SOURCE_REMOVE;
      },
      new Pending{GObjectPtr<GCancellable>(G_CANCELLABLE(g_object_ref(cancellable))),
                  std::move(done), status},
      [](gpointer data) { delete static_cast<Pending*>(data); });
}

}  // namespace

struct SubprocessRunner::Cancellable {
  GObjectPtr<GCancellable> object{g_cancellable_new()};
};

SubprocessRunner::SubprocessRunner() : cancellable_(std::make_unique<Cancellable>()) {}

SubprocessRunner::~SubprocessRunner() {
  g_cancellable_cancel(cancellable_->object.get());
}

bool SubprocessRunner::hasProgram(const std::string& name) const {
  const GCharPtr path(g_find_program_in_path(name.c_str()));
  return path != nullptr;
}

void SubprocessRunner::run(const std::vector<std::string>& argv, Done done) {
  std::vector<const gchar*> arguments;
  for (const auto& argument : argv) {
    arguments.push_back(argument.c_str());
  }
  arguments.push_back(nullptr);
  GError* rawError = nullptr;
  GObjectPtr<GSubprocess> process(
      g_subprocess_newv(arguments.data(),
                        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                                      G_SUBPROCESS_FLAGS_STDERR_SILENCE),
                        &rawError));
  const GErrorPtr error(rawError);
  if (!process) {
    reportLater(cancellable_->object.get(), std::move(done), -1);
    return;
  }
  g_subprocess_wait_async(
      process.get(), cancellable_->object.get(),
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<Done> held(static_cast<Done*>(data));
        GError* waitError = nullptr;
        auto* subprocess = G_SUBPROCESS(source);
        const bool waited = g_subprocess_wait_finish(subprocess, result, &waitError);
        const GErrorPtr owned(waitError);
        if (!waited) {
          return;  // cancelled: the runner is gone
        }
        const int status =
            g_subprocess_get_if_exited(subprocess) ? g_subprocess_get_exit_status(subprocess) : -1;
        (*held)(status);
      },
      new Done(std::move(done)));
}

}  // namespace nubrel
