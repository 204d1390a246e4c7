// ChildProcess, through GSubprocess.
#include "e2e/ChildProcess.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace nubrel::testing {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env,
                           const std::filesystem::path& outputPrefix)
    : cancellable_(g_cancellable_new()), outputPrefix_(outputPrefix) {
  GObjectPtr<GSubprocessLauncher> launcher(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE));
  std::vector<std::string> pairs;
  for (const auto& [name, value] : env) {
    pairs.push_back(name + "=" + value);
  }
  std::vector<const char*> envp;
  for (const std::string& pair : pairs) {
    envp.push_back(pair.c_str());
  }
  envp.push_back(nullptr);
  g_subprocess_launcher_set_environ(launcher.get(), const_cast<char**>(envp.data()));
  const std::string out = outputPrefix.string() + ".out";
  const std::string err = outputPrefix.string() + ".err";
  g_subprocess_launcher_set_stdout_file_path(launcher.get(), out.c_str());
  g_subprocess_launcher_set_stderr_file_path(launcher.get(), err.c_str());

  std::vector<const char*> args;
  for (const std::string& arg : argv) {
    args.push_back(arg.c_str());
  }
  args.push_back(nullptr);
  GError* error = nullptr;
  process_.reset(g_subprocess_launcher_spawnv(launcher.get(), args.data(), &error));
  if (!process_) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot start " + argv.front() + ": " + message);
  }
  pid_ = static_cast<pid_t>(std::stoi(g_subprocess_get_identifier(process_.get())));
  g_subprocess_wait_async(process_.get(), cancellable_.get(), &ChildProcess::onEnded, this);
}

ChildProcess::~ChildProcess() {
  if (!ended_) {
    g_subprocess_force_exit(process_.get());
    g_subprocess_wait(process_.get(), nullptr, nullptr);
  }
  // The pending wait must not call back into a destroyed object.
  g_cancellable_cancel(cancellable_.get());
  // Lets the cancelled callback run while `this` is still valid.
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

void ChildProcess::onEnded(GObject* source, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  const bool waited = g_subprocess_wait_finish(G_SUBPROCESS(source), result, &error);
  if (!waited) {
    // Cancelled: the object may be gone, so it is not touched.
    g_error_free(error);
    return;
  }
  static_cast<ChildProcess*>(data)->ended_ = true;
}

std::optional<int> ChildProcess::exitStatus() const {
  if (!ended_ || !g_subprocess_get_if_exited(process_.get())) {
    return std::nullopt;
  }
  return g_subprocess_get_exit_status(process_.get());
}

std::optional<int> ChildProcess::terminatingSignal() const {
  if (!ended_ || !g_subprocess_get_if_signaled(process_.get())) {
    return std::nullopt;
  }
  return g_subprocess_get_term_sig(process_.get());
}

void ChildProcess::signal(int number) const {
  g_subprocess_send_signal(process_.get(), number);
}

std::string ChildProcess::standardOutput() const {
  return readFile(outputPrefix_.string() + ".out");
}

std::string ChildProcess::standardError() const {
  return readFile(outputPrefix_.string() + ".err");
}

}  // namespace nubrel::testing
