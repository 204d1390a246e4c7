// TrayItem in this process on the desktop's bus, as hosts see it: what they are told when the
// description changes, what their clicks do, and the plain tray icon while no panel takes it.
#include "app/TrayItem.h"

#include <gtest/gtest.h>
#include <gtk/gtkx.h>

#include "e2e/Desktop.h"
#include "updater/GtkTestDisplay.h"
#include "updater/MainLoop.h"

namespace nubrel::testing {
namespace {

class TrayItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    item_ = std::make_unique<TrayItem>(icons_, [this] { return shown_; });
  }

  // A call to the item; the loop runs until it answers, since it answers on this thread.
  GVariant* call(const char* interface, const char* method, GVariant* parameters) {
    GObjectPtr<GDBusConnection> own(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    GVariant* reply = nullptr;
    g_dbus_connection_call(
        desktop().bus.get(), g_dbus_connection_get_unique_name(own.get()),
        StatusNotifierItem::kObjectPath, interface, method, parameters, nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          *static_cast<GVariant**>(data) =
              g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        },
        &reply);
    runMainLoopUntil([&] { return reply != nullptr; });
    return reply;
  }
  std::string label() {
    g_autoptr(GVariant) reply = call("org.freedesktop.DBus.Properties", "Get",
                                     g_variant_new("(ss)", kInterface, "XAyatanaLabel"));
    g_autoptr(GVariant) value = nullptr;
    g_variant_get(reply, "(v)", &value);
    return g_variant_get_string(value, nullptr);
  }
  static std::size_t windows(bool plugs) {
    std::size_t count = 0;
    for (GtkWindow* window : visibleWindows()) {
      count += GTK_IS_PLUG(window) == plugs;
    }
    return count;
  }

  static constexpr const char* kInterface = "org.kde.StatusNotifierItem";
  MenuDescription shown_ = {
      .iconName = "chart.bar.fill", .title = "1M • $1.25", .details = "a", .entries = {}};
  const TrayIcons icons_{NUBREL_DATA_DIR "/icons"};
  std::unique_ptr<TrayItem> item_;
};

// Hosts fetch and redraw on each signal; the label is the title as it is, however small the
// change (a total that rounds differently while no row does).
TEST_F(TrayItemTest, HostsAreToldOfEachChangeAndOnlyOfChanges) {
  std::vector<std::string> signals;
  const guint subscription = g_dbus_connection_signal_subscribe(
      desktop().bus.get(), nullptr, kInterface, nullptr, nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char* name,
         GVariant* parameters, gpointer data) {
        const char* text = "";
        if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ss)"))) {
          g_variant_get(parameters, "(&s&s)", &text, nullptr);
        }
        static_cast<std::vector<std::string>*>(data)->push_back(name + std::string(" ") + text);
      },
      &signals, nullptr);
  const struct {
    const char* change;
    std::function<void(MenuDescription&)> apply;
    std::vector<std::string> signals;
  } cases[] = {
      {"title",
       [](auto& d) { d.title = "1.01M • $1.25"; },
       {"NewTitle ", "XAyatanaNewLabel 1.01M • $1.25", "NewToolTip "}},
      {"details", [](auto& d) { d.details = "b"; }, {"NewToolTip "}},
      {"icon", [](auto& d) { d.iconName = "hourglass"; }, {"NewIcon ", "NewToolTip "}},
      {"nothing", [](auto&) {}, {}},
  };
  for (const auto& c : cases) {
    label();  // the signals of the step before are in
    signals.clear();
    c.apply(shown_);
    item_->invalidate();
    EXPECT_EQ(shown_.title, label()) << c.change;
    EXPECT_EQ(c.signals, signals) << c.change;
  }
  g_dbus_connection_signal_unsubscribe(desktop().bus.get(), subscription);
}

// Hosts without a menu of their own for the item call Activate on a left click: the menu opens
// at the pointer. Middle clicks and scrolling have nothing to do.
TEST_F(TrayItemTest, ActivateOpensTheMenuAndOtherClicksDoNothing) {
  const std::size_t before = windows(false);
  g_variant_unref(call(kInterface, "SecondaryActivate", g_variant_new("(ii)", 10, 10)));
  g_variant_unref(call(kInterface, "Scroll", g_variant_new("(is)", 1, "vertical")));
  drainMainLoop();
  EXPECT_EQ(before, windows(false));
  g_variant_unref(call(kInterface, "Activate", g_variant_new("(ii)", 10, 10)));
  EXPECT_TRUE(runMainLoopUntil([&] { return windows(false) == before + 1; }));
}

// The plain icon (a plug for an older tray) stands in while no panel takes the item, and only
// then: a panel that starts late, or restarts, takes it again.
TEST_F(TrayItemTest, PlainIconShowsOnlyWhileNoPanelHasTheItem) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(runMainLoopUntil([] { return windows(true) == 1; })) << round;
    const Panel panel;
    EXPECT_TRUE(runMainLoopUntil([] { return windows(true) == 0; })) << round;
  }
}

}  // namespace
}  // namespace nubrel::testing
