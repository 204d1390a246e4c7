// FallbackTrayIcon: the plain tray icon (XEmbed, a GtkStatusIcon) that Nubrel shows where no
// panel takes its StatusNotifierItem: older trays such as tint2, trayer or Budgie 10.7 draw only
// these. It shows the item's icon and tooltip and opens the same menu on either click.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "updater/GlibHandles.h"

namespace nubrel {

class FallbackTrayIcon {
 public:
  // menu must outlive the icon. The icon is made on its first setVisible(true): a GtkStatusIcon
  // docks in a tray as soon as it exists, and a desktop whose panel has the item should never
  // see a second icon, not even for a moment.
  explicit FallbackTrayIcon(GtkMenu* menu);
  ~FallbackTrayIcon();
  FallbackTrayIcon(const FallbackTrayIcon&) = delete;
  FallbackTrayIcon& operator=(const FallbackTrayIcon&) = delete;

  void setVisible(bool visible);
  // iconName is looked up in the process's icon theme; the tooltip is the title above the
  // details.
  void show(const std::string& iconName, const std::string& title, const std::string& details);

 private:
  static void onClick(GObject*, gpointer data);
  static void onPopupMenu(GObject*, guint, guint, gpointer data);

  void apply();

  GtkMenu* menu_;
  GObject* icon_ = nullptr;  // a GtkStatusIcon, deprecated as a type, hence held as a GObject
  std::string iconName_;
  std::string tooltip_;
};

}  // namespace nubrel
