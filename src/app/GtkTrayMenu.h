// GtkTrayMenu: the GTK menu that the tray item exports over com.canonical.dbusmenu (and pops up
// itself on Activate and from the XEmbed fallback icon), kept in step with the entries of a menu
// description.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "app/TrayIcons.h"
#include "ui/MenuModel.h"
#include "updater/GlibHandles.h"

namespace nubrel {

class GtkTrayMenu {
 public:
  // icons must outlive the menu.
  explicit GtkTrayMenu(const TrayIcons& icons);
  ~GtkTrayMenu();
  GtkTrayMenu(const GtkTrayMenu&) = delete;
  GtkTrayMenu& operator=(const GtkTrayMenu&) = delete;

  GtkMenu* widget() const { return menu_.get(); }

  // Makes the menu show entries. When only the enabled states or the actions differ from what is
  // shown, the items are updated in place, so hosts keep their item ids and an open menu does not
  // jump; otherwise every item is replaced. Must not be called from an item's own activation.
  void render(const std::vector<MenuEntry>& entries);

 private:
  struct Item;

  bool sameShape(const std::vector<MenuEntry>& entries) const;
  void rebuild(const std::vector<MenuEntry>& entries);
  GtkWidget* makeWidget(const MenuEntry& entry);
  void attach(GtkWidget* widget, const MenuEntry& entry);

  const TrayIcons& icons_;
  GObjectPtr<GtkMenu> menu_;
  std::vector<Item*> items_;  // one per entry, owned by its widget's signal connection
};

}  // namespace nubrel
