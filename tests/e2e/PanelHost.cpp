// PanelHost and TrayItemReader.
#include "e2e/PanelHost.h"

#include <stdexcept>

#include "e2e/DesktopSession.h"

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

constexpr int kCallTimeoutMs = 10'000;

// Calls a method and returns its reply; nullptr on any error (a gone or busy item).
GVariant* callMethod(GDBusConnection* connection, const std::string& busName,
                     const std::string& path, const char* interface, const char* method,
                     GVariant* parameters) {
  return g_dbus_connection_call_sync(connection, busName.c_str(), path.c_str(), interface, method,
                                     parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                                     nullptr, nullptr);
}

std::string entryText(GVariant* properties) {
  GVariantDict dict;
  g_variant_dict_init(&dict, properties);
  const char* type = nullptr;
  if (g_variant_dict_lookup(&dict, "type", "&s", &type) && std::string(type) == "separator") {
    g_variant_dict_clear(&dict);
    return "---";
  }
  const char* label = "";
  g_variant_dict_lookup(&dict, "label", "&s", &label);
  std::string text = label;
  if (GVariant* icon = g_variant_dict_lookup_value(&dict, "icon-data", G_VARIANT_TYPE_BYTESTRING)) {
    gsize size = 0;
    const auto* bytes =
        static_cast<const unsigned char*>(g_variant_get_fixed_array(icon, &size, 1));
    if (size > 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G') {
      text += " [icon]";
    }
    g_variant_unref(icon);
  }
  if (GVariant* shortcut = g_variant_dict_lookup_value(&dict, "shortcut", G_VARIANT_TYPE("aas"))) {
    // One key combination of its parts: [["Control", "r"]] is Control+r.
    if (g_variant_n_children(shortcut) > 0) {
      GVariant* keys = g_variant_get_child_value(shortcut, 0);
      std::string combination;
      for (gsize i = 0; i < g_variant_n_children(keys); ++i) {
        const char* key = nullptr;
        g_variant_get_child(keys, i, "&s", &key);
        combination += (i > 0 ? "+" : "") + std::string(key);
      }
      g_variant_unref(keys);
      text += " <" + combination + ">";
    }
    g_variant_unref(shortcut);
  }
  gboolean enabled = TRUE;
  g_variant_dict_lookup(&dict, "enabled", "b", &enabled);
  if (!enabled) {
    text += " (disabled)";
  }
  g_variant_dict_clear(&dict);
  return text;
}

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

std::optional<std::string> TrayItemReader::property(const char* name) const {
  GVariant* reply =
      callMethod(connection_, busName_, objectPath_, "org.freedesktop.DBus.Properties", "Get",
                 g_variant_new("(ss)", "org.kde.StatusNotifierItem", name));
  if (reply == nullptr) {
    return std::nullopt;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  std::optional<std::string> text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
      g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)) {
    text = g_variant_get_string(value, nullptr);
  }
  g_variant_unref(value);
  g_variant_unref(reply);
  return text;
}

std::optional<TrayItemReader::ToolTip> TrayItemReader::toolTipOf(GVariant* getReply) {
  if (getReply == nullptr) {
    return std::nullopt;
  }
  GVariant* value = nullptr;
  g_variant_get(getReply, "(v)", &value);
  std::optional<ToolTip> toolTip;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("(sa(iiay)ss)"))) {
    const char* title = nullptr;
    const char* text = nullptr;
    g_variant_get(value, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, &text);
    toolTip = ToolTip{title, text};
  }
  g_variant_unref(value);
  return toolTip;
}

std::optional<TrayItemReader::ToolTip> TrayItemReader::toolTip() const {
  GVariant* reply =
      callMethod(connection_, busName_, objectPath_, "org.freedesktop.DBus.Properties", "Get",
                 g_variant_new("(ss)", "org.kde.StatusNotifierItem", "ToolTip"));
  std::optional<ToolTip> toolTip = toolTipOf(reply);
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
  return toolTip;
}

bool TrayItemReader::call(const char* method, GVariant* parameters) const {
  GVariant* reply = callMethod(connection_, busName_, objectPath_, "org.kde.StatusNotifierItem",
                               method, parameters);
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
  return reply != nullptr;
}

std::vector<PanelEntry> TrayItemReader::menu() const {
  GVariant* reply =
      callMethod(connection_, busName_, menuPath(), "com.canonical.dbusmenu", "GetLayout",
                 g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
  std::vector<PanelEntry> entries = entriesOf(reply);
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
  return entries;
}

std::vector<PanelEntry> TrayItemReader::entriesOf(GVariant* layoutReply) {
  if (layoutReply == nullptr) {
    return {};
  }
  GVariant* root = g_variant_get_child_value(layoutReply, 1);
  GVariant* children = g_variant_get_child_value(root, 2);
  std::vector<PanelEntry> entries;
  for (gsize i = 0; i < g_variant_n_children(children); ++i) {
    GVariant* boxed = g_variant_get_child_value(children, i);
    GVariant* child = g_variant_get_variant(boxed);
    gint32 id = 0;
    g_variant_get_child(child, 0, "i", &id);
    GVariant* properties = g_variant_get_child_value(child, 1);
    entries.push_back({id, entryText(properties)});
    g_variant_unref(properties);
    g_variant_unref(child);
    g_variant_unref(boxed);
  }
  g_variant_unref(children);
  g_variant_unref(root);
  return entries;
}

TrayItemReader::Snapshot TrayItemReader::snapshot() const {
  constexpr int kReplies = 4;
  struct Pending {
    GVariant* replies[kReplies] = {};
    int answered = 0;
  } pending;
  struct Slot {
    Pending* pending;
    int index;
  } slots[kReplies] = {{&pending, 0}, {&pending, 1}, {&pending, 2}, {&pending, 3}};
  const auto onReply = [](GObject* source, GAsyncResult* result, gpointer data) {
    auto* slot = static_cast<Slot*>(data);
    slot->pending->replies[slot->index] =
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    ++slot->pending->answered;
  };
  const char* const properties[] = {"XAyatanaLabel", "IconName", "ToolTip"};
  for (int i = 0; i < 3; ++i) {
    g_dbus_connection_call(
        connection_, busName_.c_str(), objectPath_.c_str(), "org.freedesktop.DBus.Properties",
        "Get", g_variant_new("(ss)", "org.kde.StatusNotifierItem", properties[i]), nullptr,
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, onReply, &slots[i]);
  }
  g_dbus_connection_call(connection_, busName_.c_str(), menuPath().c_str(),
                         "com.canonical.dbusmenu", "GetLayout",
                         g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, onReply, &slots[3]);
  while (pending.answered < kReplies) {
    g_main_context_iteration(nullptr, TRUE);
  }
  Snapshot snapshot;
  for (int i = 0; i < 2; ++i) {
    if (GVariant* reply = pending.replies[i]) {
      GVariant* value = nullptr;
      g_variant_get(reply, "(v)", &value);
      (i == 0 ? snapshot.label : snapshot.iconName) = g_variant_get_string(value, nullptr);
      g_variant_unref(value);
    }
  }
  snapshot.toolTip = toolTipOf(pending.replies[2]);
  for (const PanelEntry& entry : entriesOf(pending.replies[3])) {
    snapshot.menu.push_back(entry.text);
  }
  for (GVariant* reply : pending.replies) {
    if (reply != nullptr) {
      g_variant_unref(reply);
    }
  }
  return snapshot;
}

std::vector<std::string> TrayItemReader::menuTexts() const {
  std::vector<std::string> texts;
  for (const PanelEntry& entry : menu()) {
    texts.push_back(entry.text);
  }
  return texts;
}

bool TrayItemReader::click(const std::string& label) const {
  // Ids change with every rebuild of the menu, so the entry is looked up afresh.
  for (const PanelEntry& entry : menu()) {
    if (entry.text == label || entry.text.rfind(label + " ", 0) == 0) {
      GVariant* reply =
          callMethod(connection_, busName_, menuPath(), "com.canonical.dbusmenu", "Event",
                     g_variant_new("(isvu)", entry.id, "clicked", g_variant_new_int32(0), 0u));
      if (reply != nullptr) {
        g_variant_unref(reply);
      }
      return reply != nullptr;
    }
  }
  return false;
}

}  // namespace nubrel::testing
