// TrayFixture.
#include "e2e/TrayFixture.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace nubrel::testing {
namespace {

constexpr const char* kItemPath = "/org/ayatana/NotificationItem/nubrel";
constexpr const char* kProgramName = "app.nubrel.Nubrel";
constexpr std::chrono::seconds kRegistrationPatience{30};

}  // namespace

void TrayFixture::SetUp() {
  desktop_ = std::make_unique<DesktopSession>();
  bus_ = desktop_->connect();
}

void TrayFixture::TearDown() {
  finishNubrel();
  panel_.reset();
  bus_.reset();
  desktop_.reset();
}

bool TrayFixture::waitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout) {
  return pollUntil(condition, timeout);
}

void TrayFixture::startPanel() {
  panel_ = std::make_unique<PanelHost>(desktop_->busAddress());
  ASSERT_TRUE(waitUntil([&] { return panel_->ownsWatcherName(); }));
}

void TrayFixture::finishNubrel() {
  if (!nubrel_) {
    return;
  }
  if (!nubrel_->hasEnded()) {
    nubrel_->signal(SIGTERM);
    EXPECT_TRUE(waitForEnd());
  }
  // The program logs nothing; anything here is a GLib or GTK complaint or a sanitizer report.
  EXPECT_EQ("", nubrel_->standardError());
  EXPECT_EQ("", nubrel_->standardOutput());
  nubrel_.reset();
}

void TrayFixture::startNubrel(const std::map<std::string, std::string>& env) {
  finishNubrel();
  std::map<std::string, std::string> all = desktop_->environment();
  for (const auto& [name, value] : env) {
    all[name] = value;
  }
  ++starts_;
  nubrel_ =
      std::make_unique<ChildProcess>(std::vector<std::string>{installedProgram().string()}, all,
                                     desktop_->root() / ("nubrel-" + std::to_string(starts_)));
}

TrayItemReader TrayFixture::startRegisteredNubrel(const std::map<std::string, std::string>& env) {
  const std::size_t before = panel_->registrations().size();
  startNubrel(env);
  if (waitUntil([&] { return panel_->registrations().size() > before || nubrel_->hasEnded(); },
                kRegistrationPatience) &&
      panel_->registrations().size() > before) {
    const PanelHost::Registration& registration = panel_->registrations().back();
    EXPECT_EQ(kItemPath, registration.objectPath);
    return TrayItemReader(bus_.get(), registration.busName, registration.objectPath);
  }
  ADD_FAILURE() << "nubrel's item never registered";
  return TrayItemReader(bus_.get(), "", kItemPath);
}

TrayItemReader TrayFixture::findNubrelItem() {
  // By the name the program owns once its connection is up. Not by scanning the bus's unique
  // names: a call that reaches the program while GLib still sets its connection up (between the
  // bus's answer to Hello and the end of g_bus_get_sync) is refused with a GIO critical, and its
  // caller waits in vain.
  std::string found;
  waitUntil([&] {
    GVariant* owner = g_dbus_connection_call_sync(
        bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", g_variant_new("(s)", kProgramName), G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (owner == nullptr) {
      return nubrel_->hasEnded();
    }
    const char* name = nullptr;
    g_variant_get(owner, "(&s)", &name);
    GVariant* pid = g_dbus_connection_call_sync(
        bus_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", name), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (pid != nullptr) {
      guint32 value = 0;
      g_variant_get(pid, "(u)", &value);
      if (static_cast<pid_t>(value) == nubrel_->pid()) {
        found = name;
      }
      g_variant_unref(pid);
    }
    g_variant_unref(owner);
    return !found.empty() || nubrel_->hasEnded();
  });
  EXPECT_FALSE(found.empty()) << "nubrel never took its name on the bus";
  return TrayItemReader(bus_.get(), found, kItemPath);
}

std::filesystem::path TrayFixture::installedProgram() {
  // A layout of its own, as `cmake --install` makes it, so that the information dictionary can
  // point the updater's scheduled checks at a loopback port where nothing answers: a test must
  // send nothing off this machine.
  const std::filesystem::path prefix = desktop_->root() / "prefix";
  const std::filesystem::path program = prefix / "bin" / "nubrel";
  if (std::filesystem::exists(program)) {
    return program;
  }
  namespace fs = std::filesystem;
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "nubrel");
  // The program under test and its data: the build's, or an installed copy's when
  // NUBREL_E2E_PROGRAM names it (CI runs these tests against the installed package). A copy, not
  // a link: the program finds its data beside its own resolved path.
  const char* chosen = std::getenv("NUBREL_E2E_PROGRAM");
  const fs::path source = (chosen && *chosen) ? fs::path(chosen) : fs::path(NUBREL_BINARY);
  const fs::path data = (chosen && *chosen) ? source.parent_path() / ".." / "share" / "nubrel"
                                            : fs::path(NUBREL_DATA_DIR);
  fs::copy_file(source, program);
  fs::copy(data / "icons", prefix / "share" / "nubrel" / "icons");
  std::ofstream(prefix / "share" / "nubrel" / "Info.json")
      << R"({"CFBundleName": "Nubrel", "CFBundleShortVersionString": "0.1.0",)"
      << R"( "CFBundleVersion": "0.1.0", "SUFeedURL": "http://127.0.0.1:9/appcast.xml"})";
  return program;
}

std::string TrayFixture::waitForLabel(const TrayItemReader& item, const std::string& text) {
  std::string last;
  waitUntil([&] {
    last = item.property("XAyatanaLabel").value_or("<unreadable>");
    return last == text;
  });
  return last;
}

}  // namespace nubrel::testing
