// SubprocessRunner: the CommandRunner that really runs commands, with GSubprocess on the GLib
// main loop.
#pragma once

#include <memory>

#include "updater/CommandRunner.h"

namespace nubrel {

class SubprocessRunner : public CommandRunner {
 public:
  SubprocessRunner();
  ~SubprocessRunner() override;
  SubprocessRunner(const SubprocessRunner&) = delete;
  SubprocessRunner& operator=(const SubprocessRunner&) = delete;

  bool hasProgram(const std::string& name) const override;
  void run(const std::vector<std::string>& argv, std::function<void(int status)> done) override;

 private:
  struct Cancellable;
  std::unique_ptr<Cancellable> cancellable_;
};

}  // namespace nubrel
