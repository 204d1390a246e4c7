// TrayItem: Nubrel's item in the panel, an Ayatana application indicator (a StatusNotifierItem
// with a dbusmenu) whose icon, label, title and menu follow a menu description.
#pragma once

#include <libayatana-appindicator/app-indicator.h>

#include <functional>
#include <string>

#include "app/GtkTrayMenu.h"
#include "app/TrayIcons.h"
#include "ui/MenuModel.h"
#include "updater/GlibHandles.h"

namespace nubrel {

class TrayItem {
 public:
  // The item's id on the bus; its object path is /org/ayatana/NotificationItem/nubrel.
  static constexpr const char* kId = "nubrel";
  // The longest label expected, so that hosts reserve a steady width for it.
  static constexpr const char* kLabelGuide = "88.88M • $88.88";

  // Shows describe() at once, and again after each invalidate(). icons must outlive the item.
  // The session bus connection should already be open (see NubrelApp).
  TrayItem(const TrayIcons& icons, std::function<MenuDescription()> describe);
  TrayItem(const TrayItem&) = delete;
  TrayItem& operator=(const TrayItem&) = delete;

  // The described state changed. The item is brought up to date on a high-priority idle, so that
  // the many field changes of one publication give one update, and the update lands before the
  // loop serves a host's next request (D-Bus calls arrive at default priority).
  void invalidate();

  // Called with true when a panel has taken the item, and with false when there is none (the
  // library then shows its fallback icon) or it went away.
  void setConnectionObserver(std::function<void(bool connected)> observer);

 private:
  static void onConnectionChanged(AppIndicator*, gboolean connected, gpointer data);

  void show(const MenuDescription& description);

  std::function<MenuDescription()> describe_;
  GtkTrayMenu menu_;  // outlives the indicator, which holds it
  GObjectPtr<AppIndicator> indicator_;
  std::string iconName_;
  std::string title_;
  PendingIdle pendingUpdate_;
  std::function<void(bool)> connectionObserver_;
};

}  // namespace nubrel
