// The desktop, the panel, the program and the item's reading, over GIO.
#include "e2e/Desktop.h"

#include <netinet/in.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"
#include "updater/GtkTestDisplay.h"

namespace nubrel::testing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kItemPath = "/org/ayatana/NotificationItem/nubrel";
constexpr auto kFlags = GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);

std::unique_ptr<Desktop> shared;

struct DesktopEnvironment : ::testing::Environment {
  void SetUp() override { startDesktop(); }
  void TearDown() override { stopDesktop(); }
};
[[maybe_unused]] const auto* const registered =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

// A call to nubrel's item, by the name it owns once its connection is up; being a program of its
// own, it answers while the test waits.
GVariant* callItem(const std::string& path, const char* interface, const char* method,
                   GVariant* parameters) {
  return g_dbus_connection_call_sync(desktop().bus.get(), "app.nubrel.Nubrel", path.c_str(),
                                     interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                     10'000, nullptr, nullptr);
}

std::vector<std::pair<int, std::string>> entries() {
  std::vector<std::pair<int, std::string>> all;
  g_autoptr(GVariant) reply =
      callItem(std::string(kItemPath) + "/Menu", "com.canonical.dbusmenu", "GetLayout",
               g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
  g_autoptr(GVariantIter) children = nullptr;
  if (reply != nullptr) {
    g_variant_get(reply, "(u(ia{sv}av))", nullptr, nullptr, nullptr, &children);
  }
  for (GVariant* child = nullptr; children && g_variant_iter_loop(children, "v", &child);) {
    gint32 id = 0;
    g_autoptr(GVariant) properties = nullptr;
    g_variant_get(child, "(i@a{sv}av)", &id, &properties, nullptr);
    const char* type = "";
    const char* label = "";
    gboolean enabled = TRUE;
    g_variant_lookup(properties, "type", "&s", &type);
    g_variant_lookup(properties, "label", "&s", &label);
    g_variant_lookup(properties, "enabled", "b", &enabled);
    g_autoptr(GVariant) icon = g_variant_lookup_value(properties, "icon-data", nullptr);
    gsize size = 0;
    const char* png =
        icon ? static_cast<const char*>(g_variant_get_fixed_array(icon, &size, 1)) : "";
    std::string text = std::string(type) == "separator" ? "---" : label;
    text += size > 4 && std::string_view(png + 1, 3) == "PNG" ? " [icon]" : "";
    text += g_variant_lookup(properties, "shortcut", "@aas", nullptr) ? " [shortcut]" : "";
    all.emplace_back(id, text + (enabled ? "" : " (disabled)"));
  }
  return all;
}

}  // namespace

void startDesktop() {
  shared = std::make_unique<Desktop>();
  shared->feed = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // No service directories: nothing starts on demand behind a test's back.
  g_test_dbus_up(shared->testBus);
  shared->busAddress = g_test_dbus_get_bus_address(shared->testBus);
  shared->bus.reset(g_dbus_connection_new_for_address_sync(shared->busAddress.c_str(), kFlags,
                                                           nullptr, nullptr, nullptr));
  shared->display = startGtkOnVirtualDisplay() ? g_getenv("DISPLAY") : "";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  auto* where = reinterpret_cast<sockaddr*>(&address);
  if (!shared->bus || shared->display.empty() || bind(shared->feed, where, size) != 0 ||
      listen(shared->feed, 8) != 0 || getsockname(shared->feed, where, &size) != 0) {
    throw std::runtime_error("no bus, display or feed port");
  }
  // The build's program, or the installed one that NUBREL_E2E_PROGRAM names; copied, since it
  // finds its data beside its resolved path. Its update checks go to the feed port.
  const char* chosen = std::getenv("NUBREL_E2E_PROGRAM");
  const fs::path source = chosen && *chosen ? fs::path(chosen) : fs::path(NUBREL_BINARY);
  const fs::path data =
      chosen && *chosen ? source.parent_path() / "../share/nubrel" : fs::path(NUBREL_DATA_DIR);
  shared->program = shared->root.write("bin/nubrel", "");
  fs::copy_file(source, shared->program, fs::copy_options::overwrite_existing);
  shared->feedURL = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/a.xml";
  shared->root.write("share/nubrel/Info.json",
                     R"({"CFBundleName": "Nubrel", "CFBundleShortVersionString": "0.1.0",)"
                     R"( "CFBundleVersion": "0.1.0", "SUFeedURL": ")" +
                         shared->feedURL + "\"}");
  fs::copy(data / "icons", shared->root.path() / "share/nubrel/icons", fs::copy_options::recursive);
}

void stopDesktop() {
  shared->bus.reset();
  g_test_dbus_down(shared->testBus);
  g_object_unref(shared->testBus);
  close(shared->feed);
  shared.reset();
}

const Desktop& desktop() {
  return *shared;
}

Env desktopEnvironment(const fs::path& home) {
  fs::create_directories(home / "runtime");
  fs::permissions(home / "runtime", fs::perms::owner_all);
  // No accessibility bus or dconf is reachable; GTK's and GLib's one-time allocations are no
  // leaks of the program.
  return {{"PATH", "/usr/bin:/bin"},
          {"HOME", home},
          {"XDG_RUNTIME_DIR", home / "runtime"},
          {"DISPLAY", desktop().display},
          {"DBUS_SESSION_BUS_ADDRESS", desktop().busAddress},
          {"LANG", "C.UTF-8"},
          {"NO_AT_BRIDGE", "1"},
          {"GSETTINGS_BACKEND", "memory"},
          {"ASAN_OPTIONS", "detect_leaks=0"}};
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    // A tick of its own: a condition may ask the bus, which wakes nothing here.
    g_timeout_add(
        5, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
  }
  return true;
}

Program::Program(const std::string& path, const Env& env, const fs::path& output)
    : output_(output) {
  GObjectPtr<GSubprocessLauncher> launcher(
      g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDERR_MERGE));
  g_subprocess_launcher_set_environ(launcher.get(), nullptr);
  for (const auto& [name, value] : env) {
    g_subprocess_launcher_setenv(launcher.get(), name.c_str(), value.c_str(), TRUE);
  }
  g_subprocess_launcher_set_stdout_file_path(launcher.get(), output.c_str());
  process_.reset(g_subprocess_launcher_spawn(launcher.get(), nullptr, path.c_str(), nullptr));
}

Program::~Program() {
  g_subprocess_force_exit(process_.get());
  g_subprocess_wait(process_.get(), nullptr, nullptr);
}

bool Program::ended() const {
  // GLib reaps the child on a thread of its own, and then forgets its pid.
  return g_subprocess_get_identifier(process_.get()) == nullptr;
}

std::optional<int> Program::exitStatus() const {
  if (!ended() || !g_subprocess_get_if_exited(process_.get())) {
    return std::nullopt;
  }
  return g_subprocess_get_exit_status(process_.get());
}

std::string Program::output() const {
  std::ostringstream text;
  text << std::ifstream(output_).rdbuf();
  return text.str();
}

Panel::Panel()
    : connection_(g_dbus_connection_new_for_address_sync(desktop().busAddress.c_str(), kFlags,
                                                         nullptr, nullptr, nullptr)) {
  g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(
      R"(<node><interface name="org.kde.StatusNotifierWatcher">
      <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
      </interface></node>)",
      nullptr);
  static const GDBusInterfaceVTable vtable = {
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
         GDBusMethodInvocation* invocation, gpointer data) {
        const char* path = nullptr;
        g_variant_get(parameters, "(&s)", &path);
        static_cast<Panel*>(data)->paths.push_back(path);
        g_dbus_method_invocation_return_value(invocation, nullptr);
      },
      nullptr,
      nullptr,
      {}};
  g_dbus_connection_register_object(connection_.get(), "/StatusNotifierWatcher",
                                    node->interfaces[0], &vtable, this, nullptr, nullptr);
  nameId_ = g_bus_own_name_on_connection(
      connection_.get(), "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer data) { static_cast<Panel*>(data)->owns = true; },
      nullptr, this, nullptr);
}

Panel::~Panel() {
  g_bus_unown_name(nameId_);
  g_dbus_connection_close_sync(connection_.get(), nullptr, nullptr);
}

std::map<std::string, std::string> properties() {
  std::map<std::string, std::string> all;
  g_autoptr(GVariant) reply = callItem(kItemPath, "org.freedesktop.DBus.Properties", "GetAll",
                                       g_variant_new("(s)", "org.kde.StatusNotifierItem"));
  g_autoptr(GVariantIter) values = nullptr;
  if (reply != nullptr) {
    g_variant_get(reply, "(a{sv})", &values);
  }
  const char* name = nullptr;
  for (GVariant* value = nullptr; values && g_variant_iter_loop(values, "{&sv}", &name, &value);) {
    std::string& text = all[name];
    const char* title = nullptr;
    const char* details = nullptr;
    gint32 width = 0;
    gint32 height = 0;
    GVariant* argb = nullptr;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE("(sa(iiay)ss)"))) {
      g_variant_get(value, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, &details);
      text = std::string(title) + "\n" + details;
    } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
               g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)) {
      text = g_variant_get_string(value, nullptr);
    }
    g_autoptr(GVariantIter) images = g_variant_is_of_type(value, G_VARIANT_TYPE("a(iiay)"))
                                         ? g_variant_iter_new(value)
                                         : nullptr;
    while (images && g_variant_iter_loop(images, "(ii@ay)", &width, &height, &argb)) {
      gsize size = 0;
      const auto* bytes = static_cast<const char*>(g_variant_get_fixed_array(argb, &size, 1));
      bool shows = false;
      for (gsize alpha = 0; alpha < size; alpha += 4) {
        shows = shows || bytes[alpha] != 0;
      }
      text += (text.empty() ? "" : " ") + std::to_string(width) + "x" + std::to_string(height) +
              (shows ? "+" : "");
    }
  }
  return all;
}

std::vector<std::string> menu() {
  std::vector<std::string> texts;
  for (const auto& [id, text] : entries()) {
    texts.push_back(text);
  }
  return texts;
}

bool click(const std::string& label) {
  // Ids change with every rebuild of the menu, so the entry is looked up afresh.
  for (const auto& [id, text] : entries()) {
    if (text == label || text.starts_with(label + " ")) {
      g_autoptr(GVariant) reply =
          callItem(std::string(kItemPath) + "/Menu", "com.canonical.dbusmenu", "Event",
                   g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u));
      return reply != nullptr;
    }
  }
  return false;
}

std::string waitForLabel(const std::string& text) {
  std::string last;
  waitUntil([&] { return (last = label()) == text; });
  return last;
}

int DesktopTest::hangUpUpdateChecks() {
  int count = 0;
  for (int connection; (connection = accept(desktop().feed, nullptr, nullptr)) >= 0; ++count) {
    close(connection);
  }
  return count;
}

void DesktopTest::finishNubrel() {
  if (nubrel_ && !nubrel_->ended()) {
    nubrel_->signal(SIGTERM);
    EXPECT_TRUE(waitForEnd());
  }
  // The program logs nothing: anything here is a GLib or GTK complaint or a sanitizer report.
  EXPECT_EQ("", nubrel_ ? nubrel_->output() : "");
  nubrel_.reset();
}

void DesktopTest::SetUp() {
  panel_ = std::make_unique<Panel>();
  ASSERT_TRUE(waitUntil([&] { return panel_->owns; }));
}

void DesktopTest::startNubrel(const Env& extra) {
  finishNubrel();
  Env env = desktopEnvironment(tree_.home());
  env.insert({{"CODEX_HOME", tree_.codexHome()}, {"TZ", tree_.timeZone()}});
  for (const auto& [name, value] : extra) {
    env[name] = value;
  }
  const std::size_t before = panel_->paths.size();
  nubrel_ = std::make_unique<Program>(desktop().program, env,
                                      tree_.home() / ("nubrel-" + std::to_string(++starts_)));
  EXPECT_TRUE(waitUntil([&] { return panel_->paths.size() > before || nubrel_->ended(); }));
  EXPECT_EQ(kItemPath, panel_->paths.empty() ? "" : panel_->paths.back());
}

}  // namespace nubrel::testing
