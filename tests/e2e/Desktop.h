// A private desktop for the real nubrel program: Xvfb and a D-Bus session bus, made once and shared
// by the binary's tests; a panel played by the test; nubrel on a home of its own for each test,
// read over the bus as a panel reads it.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/SessionTree.h"
#include "updater/GlibHandles.h"

namespace nubrel::testing {

using Env = std::map<std::string, std::string>;

// Runs the main loop until condition holds; false when patience runs out first (generous, since
// sanitizer builds are slow).
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::seconds patience = std::chrono::seconds(60));

// The desktop, made once per process (by the tests' environment, or a benchmark); throws when it
// cannot. The program is nubrel laid out as an install makes it.
void startDesktop();
void stopDesktop();
const std::string& nubrelProgram();
// What nubrel is given on a home of its own: nothing of the caller's environment.
Env desktopEnvironment(const std::filesystem::path& home);

// A program, its exit, and its standard output and error together in one file.
class Program {
 public:
  Program(const std::string& path, const Env& env, const std::filesystem::path& output);
  ~Program();  // kills it if it still runs

  int pid() const { return std::stoi(g_subprocess_get_identifier(process_.get())); }
  bool ended() const;
  std::optional<int> exitStatus() const;  // nullopt while it runs or when a signal ended it
  void signal(int number) const { g_subprocess_send_signal(process_.get(), number); }
  std::string output() const;

 private:
  GObjectPtr<GSubprocess> process_;
  std::filesystem::path output_;
};

// The watcher's side of the tray protocol, on a connection of its own: destroying it is the panel
// exiting. It records the object paths that items register.
class Panel {
 public:
  Panel();
  ~Panel();

  bool owns = false;
  std::vector<std::string> paths;

 private:
  GObjectPtr<GDBusConnection> connection_;
  unsigned nameId_ = 0;
};

// nubrel's item: its properties read at once (texts, the tooltip as "title\ntext", icon images
// as "WxH" with "+" when some pixel shows), empty when it cannot be read; its menu's top level
// ("---" for a separator, else the label, with " [icon]" for a PNG icon and " (disabled)"); and a
// click on the entry with this label.
std::map<std::string, std::string> properties();
inline std::string label() {
  return properties()["XAyatanaLabel"];
}
std::vector<std::string> menu();
bool click(const std::string& label);
// Waits until the label is text; returns the last label seen.
std::string waitForLabel(const std::string& text);

class DesktopTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Plays the panel: owns the watcher name and takes items' registrations.
  void startPanel();
  std::size_t registrations() const;
  // Ends the running nubrel, if any, checking that it printed nothing, and starts another.
  void startNubrel(const Env& extra = {});
  void startRegisteredNubrel(const Env& extra = {});
  bool waitForEnd() {
    return waitUntil([&] { return nubrel_->ended(); });
  }
  // Update checks go to a port that takes connections and never answers; this hangs up on those
  // waiting, and tells how many there were.
  static int hangUpUpdateChecks();

  SessionTree tree_;
  std::unique_ptr<Program> nubrel_;

 private:
  void finishNubrel();

  std::unique_ptr<Panel> panel_;
  int starts_ = 0;
};

}  // namespace nubrel::testing
