// StatusNotifierItem on GDBus, with the menu exported by libdbusmenu-gtk's parser.
#include "app/StatusNotifierItem.h"

#include <libdbusmenu-gtk/parser.h>

#include <utility>

namespace nubrel {
namespace {

constexpr const char* kInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

// The properties and signals that libayatana-appindicator exported, so that hosts written for it
// (the label) keep working, and those it lacked: ToolTip and its signal, Activate, ContextMenu,
// the pixmaps (lxqt-panel asks for every one of them, and complains of each that is missing).
constexpr const char* kItemXml = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Id" type="s" access="read"/>
    <property name="Category" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="IconAccessibleDesc" type="s" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="AttentionAccessibleDesc" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <property name="XAyatanaLabel" type="s" access="read"/>
    <property name="XAyatanaLabelGuide" type="s" access="read"/>
    <property name="XAyatanaOrderingIndex" type="u" access="read"/>
    <method name="Activate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
    <method name="ContextMenu"><arg name="x" type="i"/><arg name="y" type="i"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i"/><arg name="y" type="i"/></method>
    <method name="XAyatanaSecondaryActivate"><arg name="timestamp" type="u"/></method>
    <method name="Scroll"><arg name="delta" type="i"/><arg name="orientation" type="s"/></method>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewTitle"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg type="s"/></signal>
    <signal name="NewIconThemePath"><arg type="s"/></signal>
    <signal name="XAyatanaNewLabel"><arg type="s"/><arg type="s"/></signal>
  </interface>
</node>)xml";

}  // namespace

StatusNotifierItem::StatusNotifierItem(std::string id, std::string labelGuide,
                                       std::string iconThemePath, GtkMenu* menu, Handlers handlers)
    : id_(std::move(id)),
      labelGuide_(std::move(labelGuide)),
      iconThemePath_(std::move(iconThemePath)),
      handlers_(std::move(handlers)) {
  // The process's shared connection, which NubrelApp opened already.
  bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus_) {
    // Reported from the loop, as a watcher's answer would be, not from inside the constructor.
    noBusReport_.schedule(G_PRIORITY_DEFAULT, [this] { reportConnection(false); });
    return;
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
  static const GDBusInterfaceVTable vtable = {
      &StatusNotifierItem::onMethodCall, &StatusNotifierItem::onGetProperty, nullptr, {}};
  objectId_ = g_dbus_connection_register_object(bus_.get(), kObjectPath, node->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
  g_dbus_node_info_unref(node);

  // The parser follows the GTK menu from now on: items added, removed, relabelled, enabled.
  menuRoot_.reset(dbusmenu_gtk_parse_menu_structure(GTK_WIDGET(menu)));
  menuServer_.reset(dbusmenu_server_new(kMenuPath));
  dbusmenu_server_set_root(menuServer_.get(), menuRoot_.get());

  // Called at once with the current state, and again whenever a panel starts or goes.
  watcherWatch_ =
      g_bus_watch_name_on_connection(bus_.get(), kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                     &StatusNotifierItem::onWatcherAppeared,
                                     &StatusNotifierItem::onWatcherVanished, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
  if (registering_) {
    g_cancellable_cancel(registering_.get());
  }
  if (watcherWatch_ != 0) {
    g_bus_unwatch_name(watcherWatch_);
  }
  if (objectId_ != 0) {
    g_dbus_connection_unregister_object(bus_.get(), objectId_);
  }
}

void StatusNotifierItem::show(Appearance appearance) {
  const bool iconChanged = appearance.iconName != appearance_.iconName;
  const bool titleChanged = appearance.title != appearance_.title;
  const bool detailsChanged = appearance.details != appearance_.details;
  appearance_ = std::move(appearance);
  if (iconChanged) {
    emit("NewIcon");
  }
  if (titleChanged) {
    emit("NewTitle");
    emit("XAyatanaNewLabel", g_variant_new("(ss)", appearance_.title.c_str(), labelGuide_.c_str()));
  }
  // Some hosts (lxqt-panel) read the tooltip again only on its own signal.
  if (titleChanged || detailsChanged || iconChanged) {
    emit("NewToolTip");
  }
}

void StatusNotifierItem::emit(const char* signal, GVariant* parameters) {
  if (bus_) {
    g_dbus_connection_emit_signal(bus_.get(), nullptr, kObjectPath, kInterface, signal, parameters,
                                  nullptr);
  } else if (parameters != nullptr) {
    g_variant_unref(g_variant_ref_sink(parameters));
  }
}

void StatusNotifierItem::reportConnection(bool registered) {
  if (handlers_.connectionChanged) {
    handlers_.connectionChanged(registered);
  }
}

void StatusNotifierItem::onWatcherAppeared(GDBusConnection* connection, const char*, const char*,
                                           gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  if (self->registering_) {
    g_cancellable_cancel(self->registering_.get());
  }
  self->registering_.reset(g_cancellable_new());
  g_dbus_connection_call(connection, kWatcherName, "/StatusNotifierWatcher", kWatcherName,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", kObjectPath), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, self->registering_.get(),
                         &StatusNotifierItem::onRegistered, self);
}

void StatusNotifierItem::onRegistered(GObject* source, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  // Cancelled: the item is gone, or a newer watcher's registration replaced this one.
  if (error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);
    return;
  }
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->registering_.reset();
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
  g_clear_error(&error);
  self->reportConnection(reply != nullptr);
}

void StatusNotifierItem::onWatcherVanished(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  if (self->registering_) {
    g_cancellable_cancel(self->registering_.get());
    self->registering_.reset();
  }
  self->reportConnection(false);
}

void StatusNotifierItem::onMethodCall(GDBusConnection*, const char*, const char*, const char*,
                                      const char* method, GVariant* parameters,
                                      GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  const std::string name = method;
  // Answered first: opening the menu grabs the pointer, and a host that waits for the reply
  // meanwhile would hold up its own drawing.
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if ((name == "Activate" || name == "ContextMenu") && self->handlers_.openMenu) {
    gint32 x = 0;
    gint32 y = 0;
    g_variant_get(parameters, "(ii)", &x, &y);
    self->handlers_.openMenu(x, y);
  }
  // SecondaryActivate (a middle click), XAyatanaSecondaryActivate and Scroll have nothing to
  // do: the item has one action, its menu.
}

GVariant* StatusNotifierItem::onGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                            const char* property, GError**, gpointer data) {
  return static_cast<const StatusNotifierItem*>(data)->property(property);
}

GVariant* StatusNotifierItem::pixmapsVariant(bool withIcon) const {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  if (withIcon) {
    for (const TrayIcons::Pixmap& pixmap : appearance_.pixmaps) {
      GVariant* bytes =
          g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1);
      g_variant_builder_add(&builder, "(ii@ay)", pixmap.size, pixmap.size, bytes);
    }
  }
  return g_variant_builder_end(&builder);
}

GVariant* StatusNotifierItem::property(const std::string& name) const {
  const auto text = [](const std::string& value) { return g_variant_new_string(value.c_str()); };
  if (name == "Id") {
    return text(id_);
  }
  if (name == "Category") {
    return text("ApplicationStatus");
  }
  if (name == "Status") {
    return text("Active");
  }
  if (name == "Title" || name == "IconAccessibleDesc" || name == "XAyatanaLabel") {
    return text(appearance_.title);
  }
  if (name == "WindowId") {
    return g_variant_new_int32(0);
  }
  if (name == "IconName") {
    return text(appearance_.iconName);
  }
  if (name == "IconPixmap") {
    return pixmapsVariant(true);
  }
  if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") {
    return pixmapsVariant(false);
  }
  if (name == "IconThemePath") {
    return text(iconThemePath_);
  }
  if (name == "ToolTip") {
    // The icon is left to the host: it has the item's own already.
    return g_variant_new("(s@a(iiay)ss)", "", pixmapsVariant(false), appearance_.title.c_str(),
                         appearance_.details.c_str());
  }
  if (name == "ItemIsMenu") {
    // The menu is all the item does: hosts that honour this open it on a primary click
    // themselves; the others call Activate, which opens it too.
    return g_variant_new_boolean(TRUE);
  }
  if (name == "Menu") {
    return g_variant_new_object_path(kMenuPath);
  }
  if (name == "XAyatanaLabelGuide") {
    return text(labelGuide_);
  }
  if (name == "XAyatanaOrderingIndex") {
    return g_variant_new_uint32(0);
  }
  return text("");  // the overlay and attention icons: none
}

}  // namespace nubrel
