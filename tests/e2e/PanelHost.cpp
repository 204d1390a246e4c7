// PanelHost: the watcher's side of the protocol.
#include "e2e/PanelHost.h"

#include <stdexcept>

namespace nubrel::testing {
namespace {

constexpr const char* kWatcherXml = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>)";

}  // namespace

PanelHost::PanelHost(const std::string& busAddress) {
  GError* error = nullptr;
  connection_.reset(g_dbus_connection_new_for_address_sync(
      busAddress.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error));
  if (!connection_) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("the panel cannot connect: " + message);
  }
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
  static const GDBusInterfaceVTable vtable = {
      &PanelHost::onMethodCall, &PanelHost::onGetProperty, nullptr, {}};
  objectId_ =
      g_dbus_connection_register_object(connection_.get(), "/StatusNotifierWatcher",
                                        node->interfaces[0], &vtable, this, nullptr, nullptr);
  g_dbus_node_info_unref(node);
  nameId_ = g_bus_own_name_on_connection(
      connection_.get(), "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer data) {
        static_cast<PanelHost*>(data)->ownsName_ = true;
      },
      [](GDBusConnection*, const char*, gpointer data) {
        static_cast<PanelHost*>(data)->ownsName_ = false;
      },
      this, nullptr);
}

PanelHost::~PanelHost() {
  g_bus_unown_name(nameId_);
  g_dbus_connection_unregister_object(connection_.get(), objectId_);
  g_dbus_connection_close_sync(connection_.get(), nullptr, nullptr);
}

void PanelHost::onMethodCall(GDBusConnection* connection, const char* sender, const char*,
                             const char*, const char* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<PanelHost*>(data);
  const char* service = nullptr;
  g_variant_get(parameters, "(&s)", &service);
  if (std::string(method) == "RegisterStatusNotifierItem") {
    // Ayatana items pass their object path; others pass a bus name and use the default path.
    Registration registration = service[0] == '/' ? Registration{sender, service}
                                                  : Registration{service, "/StatusNotifierItem"};
    self->registrations_.push_back(registration);
    g_dbus_connection_emit_signal(
        connection, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
        "StatusNotifierItemRegistered",
        g_variant_new("(s)", (registration.busName + registration.objectPath).c_str()), nullptr);
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* PanelHost::onGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                   const char* property, GError**, gpointer data) {
  const auto* self = static_cast<PanelHost*>(data);
  const std::string name = property;
  if (name == "IsStatusNotifierHostRegistered") {
    return g_variant_new_boolean(TRUE);
  }
  if (name == "ProtocolVersion") {
    return g_variant_new_int32(0);
  }
  GVariantBuilder items;
  g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
  for (const Registration& registration : self->registrations_) {
    g_variant_builder_add(&items, "s", (registration.busName + registration.objectPath).c_str());
  }
  return g_variant_builder_end(&items);
}

}  // namespace nubrel::testing
