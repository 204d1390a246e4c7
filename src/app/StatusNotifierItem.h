// StatusNotifierItem: Nubrel's item on the session bus as panels read it: the
// org.kde.StatusNotifierItem object with the Ayatana label extension and a tooltip, its menu
// exported over com.canonical.dbusmenu, and its registration with the panel's watcher.
#pragma once

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libdbusmenu-glib/server.h>

#include <functional>
#include <string>
#include <vector>

#include "app/TrayIcons.h"
#include "updater/GlibHandles.h"

namespace nubrel {

class StatusNotifierItem {
 public:
  // Where the item lives, as Ayatana items always have: hosts take the path at registration.
  static constexpr const char* kObjectPath = "/org/ayatana/NotificationItem/nubrel";
  static constexpr const char* kMenuPath = "/org/ayatana/NotificationItem/nubrel/Menu";

  // What the item shows; each change of a field is announced with its signal.
  struct Appearance {
    std::string iconName;  // a name in the icon folder, also sent as pixels
    std::vector<TrayIcons::Pixmap> pixmaps;
    std::string title;    // the label, the title, the tooltip's title, the icon's description
    std::string details;  // the tooltip's text
  };

  struct Handlers {
    // A host's primary click (Activate) or its request for a context menu, at screen x, y.
    std::function<void(int x, int y)> openMenu;
    // true when a watcher took the registration, false when there is none or it went away.
    std::function<void(bool registered)> connectionChanged;
  };

  // Exports the item and its menu on the session bus and registers with every watcher that
  // appears. Without a session bus it exports nothing and reports false. menu must outlive the
  // item; the menu's changes reach hosts by themselves.
  StatusNotifierItem(std::string id, std::string labelGuide, std::string iconThemePath,
                     GtkMenu* menu, Handlers handlers);
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  // Shows appearance and emits NewIcon, NewTitle, NewToolTip and XAyatanaNewLabel for what
  // changed; nothing for what did not.
  void show(Appearance appearance);

 private:
  static void onMethodCall(GDBusConnection*, const char*, const char*, const char*,
                           const char* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer data);
  static GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                 const char* property, GError**, gpointer data);
  static void onWatcherAppeared(GDBusConnection*, const char*, const char*, gpointer data);
  static void onWatcherVanished(GDBusConnection*, const char*, gpointer data);
  static void onRegistered(GObject* source, GAsyncResult* result, gpointer data);

  GVariant* property(const std::string& name) const;
  GVariant* pixmapsVariant(bool withIcon) const;
  void emit(const char* signal, GVariant* parameters = nullptr);
  void reportConnection(bool registered);

  std::string id_;
  std::string labelGuide_;
  std::string iconThemePath_;
  Handlers handlers_;
  Appearance appearance_;

  GObjectPtr<GDBusConnection> bus_;
  guint objectId_ = 0;
  guint watcherWatch_ = 0;
  GObjectPtr<GCancellable> registering_;
  GObjectPtr<DbusmenuServer> menuServer_;
  GObjectPtr<DbusmenuMenuitem> menuRoot_;
  PendingIdle noBusReport_;
};

}  // namespace nubrel
