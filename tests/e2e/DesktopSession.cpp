// DesktopSession: Xvfb and dbus-daemon as child processes that print where they listen.
#include "e2e/DesktopSession.h"

#include <X11/Xlib.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace nubrel::testing {
namespace {

// Starts argv with its standard output on a pipe and returns the first line it prints there.
GObjectPtr<GSubprocess> startAndReadLine(const std::vector<const char*>& argv, std::string& line) {
  std::vector<const char*> terminated = argv;
  terminated.push_back(nullptr);
  GError* error = nullptr;
  GObjectPtr<GSubprocess> process(g_subprocess_newv(
      terminated.data(),
      GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE),
      &error));
  if (!process) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot start " + std::string(argv[0]) + ": " + message);
  }
  GObjectPtr<GDataInputStream> output(
      g_data_input_stream_new(g_subprocess_get_stdout_pipe(process.get())));
  gsize length = 0;
  char* text = g_data_input_stream_read_line(output.get(), &length, nullptr, nullptr);
  if (text == nullptr) {
    throw std::runtime_error(std::string(argv[0]) + " printed nothing");
  }
  line = text;
  g_free(text);
  return process;
}

void stop(GObjectPtr<GSubprocess>& process) {
  if (process) {
    g_subprocess_send_signal(process.get(), SIGTERM);
    g_subprocess_wait(process.get(), nullptr, nullptr);
    process.reset();
  }
}

// Lets anyone on this private bus own any name and talk to anyone, and lists no service
// directories, so that nothing is started on demand behind the test's back.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=@SOCKET@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

DesktopSession::DesktopSession() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nubrel-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  root_ = pattern;
  for (const char* dir : {"home", "config", "cache", "data", "runtime"}) {
    std::filesystem::create_directories(root_ / dir);
  }
  std::filesystem::permissions(root_ / "runtime", std::filesystem::perms::owner_all);

  std::string config = kBusConfig;
  config.replace(config.find("@SOCKET@"), 8, (root_ / "bus").string());
  std::ofstream(root_ / "bus.conf") << config;
  const std::string configOption = "--config-file=" + (root_ / "bus.conf").string();
  busDaemon_ = startAndReadLine(
      {"dbus-daemon", configOption.c_str(), "--nofork", "--nopidfile", "--print-address=1"},
      busAddress_);

  // -displayfd: Xvfb takes the first free display number and prints it, so parallel tests
  // never collide.
  std::string number;
  xvfb_ = startAndReadLine(
      {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
      number);
  display_ = ":" + number;
}

DesktopSession::~DesktopSession() {
  stop(busDaemon_);
  stop(xvfb_);
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

GObjectPtr<GDBusConnection> DesktopSession::connect() const {
  GError* error = nullptr;
  GObjectPtr<GDBusConnection> connection(g_dbus_connection_new_for_address_sync(
      busAddress_.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error));
  if (!connection) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot connect to the test bus: " + message);
  }
  return connection;
}

std::map<std::string, std::string> DesktopSession::environment() const {
  std::map<std::string, std::string> env = {
      {"PATH", "/usr/local/bin:/usr/bin:/bin"},
      {"HOME", home().string()},
      {"XDG_CONFIG_HOME", (root_ / "config").string()},
      {"XDG_CACHE_HOME", (root_ / "cache").string()},
      {"XDG_DATA_HOME", (root_ / "data").string()},
      {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
      {"DISPLAY", display_},
      {"DBUS_SESSION_BUS_ADDRESS", busAddress_},
      {"LANG", "C.UTF-8"},
      // GTK would look for the accessibility bus, which this private session does not have.
      {"NO_AT_BRIDGE", "1"},
      // Settings in memory: no dconf service is reachable on this bus.
      {"GSETTINGS_BACKEND", "memory"},
  };
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) {
      env[name] = value;
    }
  }
  // In a sanitizer build the leak checker would report GTK's and GLib's one-time allocations
  // at exit, on the standard error that the tests expect to stay empty.
  env["ASAN_OPTIONS"] =
      (env.count("ASAN_OPTIONS") ? env["ASAN_OPTIONS"] + ":" : "") + "detect_leaks=0";
  return env;
}

int DesktopSession::mappedPopups() const {
  Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) {
    return -1;
  }
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  int popups = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
          attributes.map_state == IsViewable && attributes.override_redirect) {
        ++popups;
      }
    }
    XFree(children);
  }
  XCloseDisplay(display);
  return popups;
}

bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    GSource* tick = g_timeout_source_new(5);
    g_source_set_callback(
        tick, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(tick, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(tick);
    g_source_unref(tick);
  }
  return true;
}

}  // namespace nubrel::testing
