// GtkTrayMenu: entries to GTK widgets in the forms that libdbusmenu-gtk exports and hosts draw.
#include "app/GtkTrayMenu.h"

#include <utility>

namespace nubrel {

// What one widget shows and does; lives as long as the widget's "activate" connection.
struct GtkTrayMenu::Item {
  MenuEntry entry;
  GtkWidget* widget = nullptr;

  static void onActivate(GtkMenuItem*, gpointer data) {
    const auto* item = static_cast<const Item*>(data);
    // Hosts deliver clicks on entries they show disabled (dbusmenu has no way to refuse one), so
    // a disabled entry guards itself here.
    if (!item->entry.enabled || !item->entry.action) {
      return;
    }
    // A copy: the action may lead to a render that replaces this item.
    const std::function<void()> action = item->entry.action;
    action();
  }
  static void destroy(gpointer data, GClosure*) { delete static_cast<Item*>(data); }
};

GtkTrayMenu::GtkTrayMenu(const TrayIcons& icons)
    : icons_(icons), menu_(GTK_MENU(g_object_ref_sink(gtk_menu_new()))) {}

GtkTrayMenu::~GtkTrayMenu() {
  // Destroying the menu destroys its items, which frees each Item through its connection.
  gtk_widget_destroy(GTK_WIDGET(menu_.get()));
}

void GtkTrayMenu::render(const std::vector<MenuEntry>& entries) {
  if (!sameShape(entries)) {
    rebuild(entries);
    return;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Item* item = items_[i];
    if (item->entry.enabled != entries[i].enabled && entries[i].kind != MenuEntry::Kind::heading) {
      gtk_widget_set_sensitive(item->widget, entries[i].enabled);
    }
    item->entry = entries[i];
  }
}

bool GtkTrayMenu::sameShape(const std::vector<MenuEntry>& entries) const {
  if (entries.size() != items_.size()) {
    return false;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const MenuEntry& shown = items_[i]->entry;
    const MenuEntry& wanted = entries[i];
    if (shown.kind != wanted.kind || shown.title != wanted.title ||
        shown.iconName != wanted.iconName || shown.keyEquivalent != wanted.keyEquivalent) {
      return false;
    }
  }
  return true;
}

void GtkTrayMenu::rebuild(const std::vector<MenuEntry>& entries) {
  for (Item* item : items_) {
    gtk_widget_destroy(item->widget);
  }
  items_.clear();
  for (const MenuEntry& entry : entries) {
    GtkWidget* widget = makeWidget(entry);
    attach(widget, entry);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), widget);
    gtk_widget_show(widget);
  }
}

GtkWidget* GtkTrayMenu::makeWidget(const MenuEntry& entry) {
  switch (entry.kind) {
  case MenuEntry::Kind::separator:
    return gtk_separator_menu_item_new();
  case MenuEntry::Kind::heading: {
    // dbusmenu has no heading type: an insensitive entry is what every host greys out. The bold
    // face shows only where GTK draws the menu itself (the XEmbed fallback).
    GtkWidget* widget = gtk_menu_item_new_with_label("");
    gchar* markup = g_markup_printf_escaped("<b>%s</b>", entry.title.c_str());
    gtk_label_set_markup(GTK_LABEL(gtk_bin_get_child(GTK_BIN(widget))), markup);
    g_free(markup);
    gtk_widget_set_sensitive(widget, FALSE);
    return widget;
  }
  case MenuEntry::Kind::row:
  case MenuEntry::Kind::command:
    break;
  }
  GdkPixbuf* pixbuf = entry.iconName ? icons_.menuPixbuf(*entry.iconName) : nullptr;
  GtkWidget* widget = nullptr;
  if (pixbuf != nullptr) {
    // Hosts resolve no icon names from our folder in menus; an image made from a pixbuf inside a
    // GtkImageMenuItem is the one form that libdbusmenu-gtk sends as pixels (icon-data). The
    // class is deprecated but has no exported replacement.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    widget = gtk_image_menu_item_new_with_label(entry.title.c_str());
    gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(widget), gtk_image_new_from_pixbuf(pixbuf));
    // GTK 3 hides menu images by default; the fallback menu should show them like the hosts do.
    gtk_image_menu_item_set_always_show_image(GTK_IMAGE_MENU_ITEM(widget), TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  } else {
    widget = gtk_menu_item_new_with_label(entry.title.c_str());
  }
  if (entry.keyEquivalent) {
    // A hint on the accel label alone, not an accelerator: the menu exporter sends only real
    // accelerators as a dbusmenu "shortcut", and hosts that get one show a key that does
    // nothing (their menu is not ours to take keys) while some print a GTK_IS_ACCEL_GROUP
    // critical on every menu build. The hint still shows where GTK draws this menu itself.
    const guint key = gdk_unicode_to_keyval(static_cast<guint32>(*entry.keyEquivalent));
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(widget))), key,
                              GDK_CONTROL_MASK);
  }
  gtk_widget_set_sensitive(widget, entry.enabled);
  return widget;
}

void GtkTrayMenu::attach(GtkWidget* widget, const MenuEntry& entry) {
  auto* item = new Item{entry, widget};
  items_.push_back(item);
  g_signal_connect_data(widget, "activate", G_CALLBACK(Item::onActivate), item, Item::destroy,
                        GConnectFlags{});
}

}  // namespace nubrel
