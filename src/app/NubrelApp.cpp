// NubrelApp and its AppDelegate.
#include "app/NubrelApp.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <malloc.h>

#include <csignal>

#include "platform/SessionsDirectory.h"
#include "pricing/PriceCatalog.h"
#include "service/TokenUsageService.h"

namespace nubrel {
namespace {

// Registering takes milliseconds; this is for a panel that never answers.
constexpr std::chrono::milliseconds kLaunchPatience{2000};

// One Nubrel per session: the first to start owns this name for its lifetime.
constexpr const char* kBusName = "app.nubrel.Nubrel";
constexpr guint32 kDoNotQueue = 4;    // DBUS_NAME_FLAG_DO_NOT_QUEUE
constexpr guint32 kNameHasOwner = 3;  // DBUS_REQUEST_NAME_REPLY_EXISTS

// False when another Nubrel runs in this session already. A bus that will not answer cannot
// tell, and then Nubrel runs.
bool claimSingleInstance(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", kBusName, kDoNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
      -1, nullptr, nullptr);
  if (reply == nullptr) {
    return true;
  }
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  return result != kNameHasOwner;
}

}  // namespace

// What the desktop hears from the application once it has started.
class AppDelegate {
 public:
  // The accessory mode: Nubrel never maps a window of its own, so it has no entry in the task
  // bar; the menu-bar item is all there is until the updater opens a window.
  void applicationDidFinishLaunching() {
    g_set_application_name("Nubrel");
    gtk_window_set_default_icon_name("nubrel");
    // A launcher that started us with startup notification shows a busy "Starting Nubrel" entry
    // until a window maps, which never happens; end it now.
    gdk_notify_startup_complete();
  }

  // Brings the application's own windows (the updater's) to the front, ahead of other
  // applications' windows.
  static void activateIgnoringOtherApps() {
    GList* windows = gtk_window_list_toplevels();
    for (GList* node = windows; node != nullptr; node = node->next) {
      GtkWindow* window = GTK_WINDOW(node->data);
      // The fallback tray icon is a toplevel too, a plug inside the tray; it stays where it is.
      if (gtk_window_get_window_type(window) == GTK_WINDOW_TOPLEVEL && !GTK_IS_PLUG(window) &&
          gtk_widget_get_visible(GTK_WIDGET(window))) {
        gtk_window_present(window);
      }
    }
    g_list_free(windows);
  }
};

int NubrelApp::main(int argc, char** argv) {
  // The item and its menu are served on the process's shared connection, opened here once.
  // Without a session bus there is no item, and the plain tray icon shows instead.
  GError* error = nullptr;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
  g_clear_error(&error);
  if (bus && !claimSingleInstance(bus.get())) {
    return 0;
  }
  // Nothing of Nubrel draws with OpenGL, but GDK's X11 backend looks for GL visuals when the
  // display opens, which maps the driver (under Mesa, some 50 MB of LLVM) into a tray program
  // that should stay small. A user's own GDK_GL setting is kept.
  g_setenv("GDK_GL", "disable", FALSE);
  if (!gtk_init_check(&argc, &argv)) {
    return 1;
  }
  {
    NubrelApp app;
    app.run();
  }
  // Replies still queued (the answer to the click on "Quit Nubrel") go out before the exit.
  if (bus) {
    g_dbus_connection_flush_sync(bus.get(), nullptr, nullptr);
  }
  return 0;
}

NubrelApp::NubrelApp()
    : appDelegate_(std::make_unique<AppDelegate>()),
      calendar_(ZonedCalendar::current()),
      dateNames_(LocaleDateNames::fromEnvironment()),
      launchGate_(eventLoop_, kLaunchPatience),
      icons_(TrayIcons::installedFolder()),
      mainLoop_(g_main_loop_new(nullptr, FALSE)) {}

NubrelApp::~NubrelApp() {
  if (viewModel_) {
    viewModel_->removeObserver(observerId_);
  }
  if (updaterStore_) {
    updaterStore_->updaterController()->updater().setCanCheckForUpdatesObserver(nullptr);
  }
  // The item and its menu go before what their actions reach.
  trayItem_.reset();
  menuContent_.reset();
  g_main_loop_unref(mainLoop_);
}

const std::shared_ptr<TokenUsageViewModel>& NubrelApp::viewModel() {
  if (!viewModel_) {
    auto service =
        std::make_shared<TokenUsageService>(fileSystem_, *calendar_, sessionsDirectory());
    viewModel_ = TokenUsageViewModel::make(std::move(service), launchGate_, clock_, *calendar_,
                                           *dateNames_, preferences_, PriceCatalog::installed());
  }
  return viewModel_;
}

UpdaterStore& NubrelApp::updaterStore() {
  if (!updaterStore_) {
    updaterStore_ = std::make_unique<UpdaterStore>();
  }
  return *updaterStore_;
}

void NubrelApp::installMenuBarExtra() {
  checkForUpdatesView_ = std::make_shared<CheckForUpdatesView>(
      updaterStore().updaterController(), &AppDelegate::activateIgnoringOtherApps);
  menuContent_ =
      std::make_unique<MenuContent>(viewModel(), checkForUpdatesView_, [this] { quit(); });
  trayItem_ = std::make_unique<TrayItem>(icons_, [this] { return menuContent_->describe(); });
  observerId_ = viewModel_->addObserver([this] {
    trayItem_->invalidate();
    const bool loading = viewModel_->isLoading();
    if (wasLoading_ && !loading) {
      limitNotices_.check(*viewModel_);
      releaseFreedMemory();
    }
    wasLoading_ = loading;
  });
  // The updates command is enabled again as soon as a check ends, not at the next refresh.
  updaterStore().updaterController()->updater().setCanCheckForUpdatesObserver(
      [this] { trayItem_->invalidate(); });
  // Any answer about the panel means the registration is settled: the refresh may begin.
  trayItem_->setConnectionObserver([this](bool) { launchGate_.open(); });
}

void NubrelApp::run() {
  appDelegate_->applicationDidFinishLaunching();
  installMenuBarExtra();
  // SIGTERM (logout, systemd, kill), Ctrl+C and SIGHUP (the terminal or session that started
  // Nubrel went away) end Nubrel as "Quit Nubrel" does.
  const auto onSignal = [](gpointer data) -> gboolean {
    static_cast<NubrelApp*>(data)->quit();
    return G_SOURCE_CONTINUE;
  };
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    signalSources_.emplace_back(g_unix_signal_add(signal, onSignal, this));
  }
  g_main_loop_run(mainLoop_);
}

void NubrelApp::quit() {
  g_main_loop_quit(mainLoop_);
}

void NubrelApp::releaseFreedMemory() {
  // A refresh that scans a large month allocates and frees tens of megabytes in small blocks;
  // glibc keeps them, and an idle tray program would sit on them until the next refresh.
  memoryRelease_.schedule(G_PRIORITY_LOW, [] { malloc_trim(0); });
}

}  // namespace nubrel
