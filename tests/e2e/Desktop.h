// A private desktop for the real nubrel program: Xvfb and a D-Bus session bus, made once per
// process; a panel played by the test; nubrel on a home of its own, read as a panel reads it.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/TokenTotals.h"
#include "support/TempDir.h"
#include "updater/GlibHandles.h"

namespace nubrel::testing {

using Env = std::map<std::string, std::string>;

// A home of its own holding a session log tree as the agent writes it, in a time zone chosen so
// that today is far from midnight while a test runs.
class SessionTree {
 public:
  SessionTree();

  const std::filesystem::path& home() const { return home_.path(); }
  std::filesystem::path codexHome() const { return home() / "codex"; }
  // The TZ under which a program shares the tree's today: a fixed offset, about noon.
  std::string timeZone() const;
  std::string monthLabel() const { return format(0, "This Month (%B %Y)"); }
  bool inThisMonth(int daysAgo) const { return format(daysAgo, "%m") == format(0, "%m"); }

  // One token event at 06:00 local time on the day, or lines of other traffic.
  void addUsage(int daysAgo, const TokenTotals& usage);
  void addOtherLines(int daysAgo, std::size_t count);
  // The plan's 5-hour window used to percent, resetting at that hour of the tree's today.
  void addLimits(int daysAgo, int percent, int resetHour);

 private:
  // strftime at 06:00 on the day, moved by shift.
  std::string format(int daysAgo, const char* pattern, std::chrono::seconds shift = {}) const;
  std::filesystem::path logFile(int daysAgo);

  TempDir home_;
  std::chrono::hours utcOffset_;
  std::chrono::sys_days today_;
  int added_ = 0;  // each event at a second of its own: the same instant and usage are one event
};

// Runs the main loop until condition holds; false when patience runs out (sanitizers are slow).
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::seconds patience = std::chrono::seconds(60));

// The desktop, started once per process (throws when it cannot). nubrel is laid out there as an
// install makes it, its update checks going to a feed whose port takes connections and never
// answers; desktopEnvironment is all it gets.
struct Desktop {
  TempDir root;
  GTestDBus* testBus = g_test_dbus_new(G_TEST_DBUS_NONE);
  GObjectPtr<GDBusConnection> bus;  // the test's own connection
  std::string busAddress, display, program, feedURL;
  int feed = -1;
};
void startDesktop();
void stopDesktop();
const Desktop& desktop();
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

// The watcher's side of the tray protocol, on a connection of its own (destroying it is the panel
// exiting), with the object paths that items register.
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

// nubrel's item: its properties at once (text, the tooltip as "title\ntext", icon images as
// "WxH" with "+" when some pixel shows), none when it cannot be read; its menu's top level ("---"
// for a separator, else the label and " [icon]", " [shortcut]", " (disabled)"); a click on the
// entry with this label; and a wait until the label is text, giving the last one seen.
std::map<std::string, std::string> properties();
inline std::string label() {
  return properties()["XAyatanaLabel"];
}
std::vector<std::string> menu();
bool click(const std::string& label);
std::string waitForLabel(const std::string& text);

// Plays the panel for each test, and starts nubrel on the test's own tree.
class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { finishNubrel(); }

  // Ends the running nubrel, if any, and starts another; waits until it registers or ends.
  void startNubrel(const Env& extra = {});
  // Ends nubrel and checks that it printed nothing.
  void finishNubrel();
  bool waitForEnd() {
    return waitUntil([&] { return nubrel_->ended(); });
  }
  // Hangs up on the update checks waiting at the feed; how many there were.
  static int hangUpUpdateChecks();

  SessionTree tree_;
  std::unique_ptr<Panel> panel_;
  std::unique_ptr<Program> nubrel_;

 private:
  int starts_ = 0;
};

}  // namespace nubrel::testing
