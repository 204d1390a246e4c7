// TrayItem: the bus item and the fallback icon, made once, and their updates.
#include "app/TrayItem.h"

#include <gdk/gdkx.h>

#include <utility>

namespace nubrel {

TrayItem::TrayItem(const TrayIcons& icons, std::function<MenuDescription()> describe)
    : icons_(icons), describe_(std::move(describe)), menu_(icons), fallback_(menu_.widget()) {
  // Hosts find our icon names through the item's IconThemePath; the fallback icon looks them up
  // in this process's icon theme instead.
  const std::string folder = icons.folder().string();
  gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder.c_str());
  StatusNotifierItem::Handlers handlers;
  handlers.openMenu = [this](int, int) { openMenuAtPointer(); };
  handlers.connectionChanged = [this](bool connected) { onConnectionChanged(connected); };
  item_ = std::make_unique<StatusNotifierItem>(kId, kLabelGuide, folder, menu_.widget(),
                                               std::move(handlers));
  show(describe_());
}

void TrayItem::setConnectionObserver(std::function<void(bool connected)> observer) {
  connectionObserver_ = std::move(observer);
}

void TrayItem::onConnectionChanged(bool connected) {
  fallback_.setVisible(!connected);
  if (connectionObserver_) {
    connectionObserver_(connected);
  }
}

void TrayItem::invalidate() {
  pendingUpdate_.schedule(G_PRIORITY_HIGH, [this] { show(describe_()); });
}

void TrayItem::show(const MenuDescription& description) {
  // Each change makes hosts fetch and redraw the icon or the label, so unchanged ones are not
  // sent.
  if (description.iconName != symbolName_ || description.title != title_ ||
      description.details != details_) {
    const bool iconChanged = description.iconName != symbolName_;
    symbolName_ = description.iconName;
    title_ = description.title;
    details_ = description.details;
    const std::string iconName = TrayIcons::iconName(symbolName_);
    StatusNotifierItem::Appearance appearance{
        .iconName = iconName, .pixmaps = {}, .title = title_, .details = details_};
    if (iconChanged || pixmaps_.empty()) {
      pixmaps_ = icons_.panelPixmaps(symbolName_);
    }
    appearance.pixmaps = pixmaps_;
    item_->show(std::move(appearance));
    fallback_.show(iconName, title_, details_);
  }
  menu_.render(description.entries);
}

void TrayItem::openMenuAtPointer() {
  GdkDisplay* display = gdk_display_get_default();
  // Under Wayland a menu can only open from a surface of our own, and there is none; the hosts
  // there (waybar, GNOME's extension) open the exported menu themselves, as ItemIsMenu asks.
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
    return;
  }
  GdkSeat* seat = gdk_display_get_default_seat(display);
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer == nullptr) {
    return;
  }
  // GTK places a menu from its trigger event, and complains without one: a button press on the
  // root window at the pointer's place stands in for the host's click.
  GdkScreen* screen = nullptr;
  gint x = 0;
  gint y = 0;
  gdk_device_get_position(pointer, &screen, &x, &y);
  GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
  event->button.window = GDK_WINDOW(g_object_ref(gdk_screen_get_root_window(screen)));
  event->button.send_event = TRUE;
  event->button.time = gtk_get_current_event_time();
  event->button.x = event->button.x_root = x;
  event->button.y = event->button.y_root = y;
  event->button.button = 1;
  gdk_event_set_device(event, pointer);
  gtk_menu_popup_at_pointer(menu_.widget(), event);
  gdk_event_free(event);
}

}  // namespace nubrel
