// ChildProcess: a program run by a test with a given environment, its output kept in files, and
// its end observed without blocking the test's main loop.
#pragma once

#include <gio/gio.h>
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "updater/GlibHandles.h"

namespace nubrel::testing {

class ChildProcess {
 public:
  // Starts argv; stdout and stderr go to <outputPrefix>.out and <outputPrefix>.err. Throws
  // std::runtime_error when it cannot start. The end is reported in the thread-default context.
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::filesystem::path& outputPrefix);
  // Kills the program if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool hasEnded() const { return ended_; }
  // The exit status of a program that exited; nullopt while it runs or when a signal ended it.
  std::optional<int> exitStatus() const;
  std::optional<int> terminatingSignal() const;
  void signal(int number) const;

  std::string standardOutput() const;
  std::string standardError() const;

 private:
  static void onEnded(GObject* source, GAsyncResult* result, gpointer data);

  GObjectPtr<GSubprocess> process_;
  GObjectPtr<GCancellable> cancellable_;
  pid_t pid_ = 0;
  bool ended_ = false;
  std::filesystem::path outputPrefix_;
};

}  // namespace nubrel::testing
