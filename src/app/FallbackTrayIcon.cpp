// FallbackTrayIcon on GtkStatusIcon, which GTK 3 deprecates but still implements: it is the one
// XEmbed tray icon GTK offers.
#include "app/FallbackTrayIcon.h"

#include <cstring>

namespace nubrel {
namespace {

// An XEmbed tray maps the icon's plug window itself, and GDK then thaws updates of a toplevel
// it never froze: one "gdk_window_thaw_toplevel_updates: assertion ... failed" per embedding
// (seen under trayer with GTK 3.24.38), after which GDK carries on unharmed. Only that message
// is dropped; every other one takes GLib's default way.
void dropUnbalancedThawCritical(const gchar* domain, GLogLevelFlags level, const gchar* message,
                                gpointer data) {
  constexpr const char* kThaw = "gdk_window_thaw_toplevel_updates: assertion";
  if (message != nullptr && std::strncmp(message, kThaw, std::strlen(kThaw)) == 0) {
    return;
  }
  g_log_default_handler(domain, level, message, data);
}

}  // namespace

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

FallbackTrayIcon::FallbackTrayIcon(GtkMenu* menu) : menu_(menu) {}

FallbackTrayIcon::~FallbackTrayIcon() {
  if (icon_ != nullptr) {
    g_signal_handlers_disconnect_by_data(icon_, this);
    g_object_unref(icon_);
  }
}

void FallbackTrayIcon::setVisible(bool visible) {
  if (icon_ == nullptr && visible) {
    static const guint handler =
        g_log_set_handler("Gdk", G_LOG_LEVEL_CRITICAL, dropUnbalancedThawCritical, nullptr);
    static_cast<void>(handler);
    icon_ = G_OBJECT(gtk_status_icon_new());
    gtk_status_icon_set_title(GTK_STATUS_ICON(icon_), "Nubrel");
    g_signal_connect(icon_, "activate", G_CALLBACK(&FallbackTrayIcon::onClick), this);
    g_signal_connect(icon_, "popup-menu", G_CALLBACK(&FallbackTrayIcon::onPopupMenu), this);
    apply();
  } else if (icon_ != nullptr) {
    gtk_status_icon_set_visible(GTK_STATUS_ICON(icon_), visible ? TRUE : FALSE);
  }
}

void FallbackTrayIcon::show(const std::string& iconName, const std::string& title,
                            const std::string& details) {
  iconName_ = iconName;
  tooltip_ = details.empty() ? title : title + "\n" + details;
  if (icon_ != nullptr) {
    apply();
  }
}

void FallbackTrayIcon::apply() {
  gtk_status_icon_set_from_icon_name(GTK_STATUS_ICON(icon_), iconName_.c_str());
  gtk_status_icon_set_tooltip_text(GTK_STATUS_ICON(icon_), tooltip_.c_str());
}

void FallbackTrayIcon::onClick(GObject*, gpointer data) {
  // The click that got here is GTK's current event, and places the menu at the pointer.
  gtk_menu_popup_at_pointer(static_cast<FallbackTrayIcon*>(data)->menu_, nullptr);
}

void FallbackTrayIcon::onPopupMenu(GObject* icon, guint, guint, gpointer data) {
  onClick(icon, data);
}

G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace nubrel
