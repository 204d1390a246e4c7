// CommandRunner: how the updater runs the system's installer. Tests put a recorder of the
// commands in its place; SubprocessRunner runs them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace nubrel {

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Whether a program of that name is on $PATH.
  virtual bool hasProgram(const std::string& name) const = 0;
  // Starts argv (argv[0] looked up on $PATH) with no input and its output discarded; done gets
  // its exit status, or -1 when it could not be started or was killed, on a later turn of the
  // main loop. Destroying the runner first means done is never called; the command runs on.
  virtual void run(const std::vector<std::string>& argv, std::function<void(int status)> done) = 0;
};

}  // namespace nubrel
