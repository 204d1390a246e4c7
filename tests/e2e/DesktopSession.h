// DesktopSession: what a desktop gives a tray program, made privately for one test: a virtual X
// display (Xvfb), a D-Bus session bus (dbus-daemon), and its own home and XDG directories.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "updater/GlibHandles.h"

namespace nubrel::testing {

// Runs the thread-default main loop until condition holds; false when timeout passes first. It
// wakes every few milliseconds even when nothing arrives, since conditions may ask the bus.
bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class DesktopSession {
 public:
  // Starts Xvfb and dbus-daemon; throws std::runtime_error when either cannot start.
  DesktopSession();
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path home() const { return root_ / "home"; }
  const std::string& display() const { return display_; }
  const std::string& busAddress() const { return busAddress_; }

  // A new connection to the session bus, with its own unique name. Its signals and method calls
  // are dispatched in the thread-default main context at the time of the call.
  GObjectPtr<GDBusConnection> connect() const;

  // How many override-redirect windows are on screen: menus and tooltips, which no window
  // manager places. -1 when the display cannot be opened.
  int mappedPopups() const;

  // The environment of a program started in this session: nothing of the test's own, so that the
  // program sees no real home, display or bus; sanitizer settings pass through.
  std::map<std::string, std::string> environment() const;

 private:
  std::filesystem::path root_;
  GObjectPtr<GSubprocess> xvfb_;
  GObjectPtr<GSubprocess> busDaemon_;
  std::string display_;
  std::string busAddress_;
};

}  // namespace nubrel::testing
