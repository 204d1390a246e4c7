// TrayItemReader: properties, tooltip, icon pixels and menu read as a panel reads them.
#include "e2e/TrayItemReader.h"

namespace nubrel::testing {
namespace {

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

std::vector<std::string> TrayItemReader::iconPixmaps() const {
  GVariant* reply =
      callMethod(connection_, busName_, objectPath_, "org.freedesktop.DBus.Properties", "Get",
                 g_variant_new("(ss)", "org.kde.StatusNotifierItem", "IconPixmap"));
  std::vector<std::string> images;
  if (reply == nullptr) {
    return images;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("a(iiay)"))) {
    for (gsize i = 0; i < g_variant_n_children(value); ++i) {
      gint32 width = 0;
      gint32 height = 0;
      GVariant* bytes = nullptr;
      g_variant_get_child(value, i, "(ii@ay)", &width, &height, &bytes);
      gsize size = 0;
      const auto* argb =
          static_cast<const unsigned char*>(g_variant_get_fixed_array(bytes, &size, 1));
      bool drawn = false;
      for (gsize pixel = 0; pixel + 3 < size; pixel += 4) {
        drawn = drawn || argb[pixel] != 0;  // the alpha byte comes first
      }
      std::string image = std::to_string(width) + "x" + std::to_string(height);
      if (size != static_cast<gsize>(width) * static_cast<gsize>(height) * 4) {
        image += " (wrong size)";
      }
      images.push_back(image + (drawn ? "+" : ""));
      g_variant_unref(bytes);
    }
  }
  g_variant_unref(value);
  g_variant_unref(reply);
  return images;
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
