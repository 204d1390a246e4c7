// TrayFixture: a private desktop session for each test, a panel played by the test, and the real
// nubrel program started in it, read as a panel reads it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "e2e/ChildProcess.h"
#include "e2e/DesktopSession.h"
#include "e2e/PanelHost.h"

namespace nubrel::testing {

class TrayFixture : public ::testing::Test {
 protected:
  static constexpr std::chrono::seconds kPatience{60};  // generous: sanitizer builds are slow

  void SetUp() override;
  void TearDown() override;

  // Runs the test's main loop until condition holds; false when timeout passes first.
  bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout = kPatience);

  // Plays the panel: owns the watcher name until stopPanel().
  void startPanel();
  void stopPanel() { panel_.reset(); }

  // Ends the running program if need be (SIGTERM) and checks that it printed nothing.
  void finishNubrel();
  // Starts nubrel with the session's environment plus env, after finishNubrel().
  void startNubrel(const std::map<std::string, std::string>& env);
  // Starts nubrel and waits until its item registers with the panel; a start that never
  // registers fails the test.
  TrayItemReader startRegisteredNubrel(const std::map<std::string, std::string>& env);
  // The item of the running program found without a panel: by the well-known name it owns.
  TrayItemReader findNubrelItem();

  // Waits until the item's label is text; the last label seen otherwise.
  std::string waitForLabel(const TrayItemReader& item, const std::string& text);
  // Waits until the program ends.
  bool waitForEnd() {
    return waitUntil([&] { return nubrel_->hasEnded(); });
  }

  std::unique_ptr<DesktopSession> desktop_;
  GObjectPtr<GDBusConnection> bus_;
  std::unique_ptr<PanelHost> panel_;
  std::unique_ptr<ChildProcess> nubrel_;

 private:
  std::filesystem::path installedProgram();

  int starts_ = 0;
};

}  // namespace nubrel::testing
