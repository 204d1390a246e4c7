// TrayItem: Nubrel's item in the panel, a StatusNotifierItem with a dbusmenu, or a plain tray
// icon where no panel takes it, whose icon, label, tooltip and menu follow a menu description.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FallbackTrayIcon.h"
#include "app/GtkTrayMenu.h"
#include "app/StatusNotifierItem.h"
#include "app/TrayIcons.h"
#include "ui/MenuModel.h"
#include "updater/GlibHandles.h"

namespace nubrel {

class TrayItem {
 public:
  // The item's id on the bus; its object path is StatusNotifierItem::kObjectPath.
  static constexpr const char* kId = "nubrel";
  // The longest label expected, so that hosts reserve a steady width for it.
  static constexpr const char* kLabelGuide = "88.88M • $88.88";

  // Shows describe() at once, and again after each invalidate(). icons must outlive the item.
  TrayItem(const TrayIcons& icons, std::function<MenuDescription()> describe);
  TrayItem(const TrayItem&) = delete;
  TrayItem& operator=(const TrayItem&) = delete;

  // The described state changed. The item is brought up to date on a high-priority idle, so that
  // the many field changes of one publication give one update, and the update lands before the
  // loop serves a host's next request (D-Bus calls arrive at default priority).
  void invalidate();

  // Called with true when a panel has taken the item, and with false when there is none (the
  // plain tray icon then shows) or it went away.
  void setConnectionObserver(std::function<void(bool connected)> observer);

 private:
  void show(const MenuDescription& description);
  void onConnectionChanged(bool connected);
  // Pops the menu up where the pointer is, for a host's click that arrives over the bus and so
  // brings no event of its own.
  void openMenuAtPointer();

  const TrayIcons& icons_;
  std::function<MenuDescription()> describe_;
  GtkTrayMenu menu_;  // outlives the item and the icon, which show it
  std::unique_ptr<StatusNotifierItem> item_;
  FallbackTrayIcon fallback_;
  std::string symbolName_;
  std::string title_;
  std::string details_;
  std::vector<TrayIcons::Pixmap> pixmaps_;  // of symbolName_
  PendingIdle pendingUpdate_;
  std::function<void(bool)> connectionObserver_;
};

}  // namespace nubrel
