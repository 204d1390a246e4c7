// TrayItem: the indicator, made once, and its updates.
#include "app/TrayItem.h"

#include <utility>

namespace nubrel {

TrayItem::TrayItem(const TrayIcons& icons, std::function<MenuDescription()> describe)
    : describe_(std::move(describe)), menu_(icons) {
  const std::string folder = icons.folder().string();
  // Hosts find our icon names through the item's IconThemePath; the library's own fallback icon
  // (a GtkStatusIcon, where no host runs) looks them up in this process's icon theme instead.
  gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), folder.c_str());

  const MenuDescription description = describe_();
  indicator_.reset(
      app_indicator_new_with_path(kId, TrayIcons::iconName(description.iconName).c_str(),
                                  APP_INDICATOR_CATEGORY_APPLICATION_STATUS, folder.c_str()));
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
  show(description);
  app_indicator_set_menu(indicator_.get(), menu_.widget());
  g_signal_connect(indicator_.get(), "connection-changed",
                   G_CALLBACK(&TrayItem::onConnectionChanged), this);
}

void TrayItem::setConnectionObserver(std::function<void(bool connected)> observer) {
  connectionObserver_ = std::move(observer);
}

void TrayItem::onConnectionChanged(AppIndicator*, gboolean connected, gpointer data) {
  auto* self = static_cast<TrayItem*>(data);
  if (self->connectionObserver_) {
    self->connectionObserver_(connected == TRUE);
  }
}

void TrayItem::invalidate() {
  pendingUpdate_.schedule(G_PRIORITY_HIGH, [this] { show(describe_()); });
}

void TrayItem::show(const MenuDescription& description) {
  std::string iconName = TrayIcons::iconName(description.iconName);
  // The title is also the icon's accessible description: on the many hosts that draw no label,
  // that is where a screen reader finds the figures. Each change makes hosts fetch and redraw the
  // icon, so unchanged ones are not sent.
  if (iconName != iconName_ || description.title != title_) {
    iconName_ = std::move(iconName);
    title_ = description.title;
    app_indicator_set_icon_full(indicator_.get(), iconName_.c_str(), title_.c_str());
    app_indicator_set_label(indicator_.get(), title_.c_str(), kLabelGuide);
    app_indicator_set_title(indicator_.get(), title_.c_str());
  }
  menu_.render(description.entries);
}

}  // namespace nubrel
