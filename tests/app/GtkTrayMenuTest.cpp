// GtkTrayMenu in a real GTK on Xvfb: what a click does, and when items are kept or replaced.
#include "app/GtkTrayMenu.h"

#include <gtest/gtest.h>

#include "updater/GtkTestDisplay.h"

namespace nubrel::testing {
namespace {

class GtkTrayMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!startGtkOnVirtualDisplay()) {
      GTEST_SKIP() << "no Xvfb";
    }
    menu_ = std::make_unique<GtkTrayMenu>(icons_);
  }

  static MenuEntry entry(MenuEntry::Kind kind, std::string title,
                         std::optional<std::string> iconName = std::nullopt) {
    MenuEntry made;
    made.kind = kind;
    made.title = std::move(title);
    made.iconName = std::move(iconName);
    return made;
  }
  static MenuEntry heading(std::string title) {
    return entry(MenuEntry::Kind::heading, std::move(title));
  }
  static MenuEntry command(std::string title, bool enabled, int* clicks) {
    MenuEntry made = entry(MenuEntry::Kind::command, std::move(title));
    made.enabled = enabled;
    made.action = [clicks] { ++*clicks; };
    return made;
  }
  std::vector<GtkWidget*> items() const {
    std::vector<GtkWidget*> widgets;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu_->widget()));
    for (GList* child = children; child != nullptr; child = child->next) {
      widgets.push_back(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    return widgets;
  }

  TrayIcons icons_{NUBREL_DATA_DIR "/icons"};
  std::unique_ptr<GtkTrayMenu> menu_;
};

// Panels deliver clicks on entries they show disabled; the menu must not run them.
TEST_F(GtkTrayMenuTest, ClickOnADisabledEntryRunsNothing) {
  int disabledClicks = 0;
  int enabledClicks = 0;
  menu_->render({command("Check for Updates...", false, &disabledClicks),
                 command("Refresh Now", true, &enabledClicks)});
  for (GtkWidget* item : items()) {
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
  }
  EXPECT_EQ(0, disabledClicks);
  EXPECT_EQ(1, enabledClicks);
}

TEST_F(GtkTrayMenuTest, SameTextsUpdateTheItemsInPlaceAndNewTextsReplaceThem) {
  int oldClicks = 0;
  int newClicks = 0;
  menu_->render({heading("Today"), command("Check for Updates...", true, &oldClicks)});
  const std::vector<GtkWidget*> before = items();

  // Only the enabled state and the action differ: hosts keep their ids for these items.
  menu_->render({heading("Today"), command("Check for Updates...", false, &newClicks)});
  EXPECT_EQ(before, items());
  EXPECT_FALSE(gtk_widget_get_sensitive(items().at(1)));
  EXPECT_FALSE(gtk_widget_get_sensitive(items().at(0))) << "a heading stays insensitive";

  menu_->render({heading("Today"), command("Check for Updates...", true, &newClicks)});
  gtk_menu_item_activate(GTK_MENU_ITEM(items().at(1)));
  EXPECT_EQ(0, oldClicks) << "the first action was replaced";
  EXPECT_EQ(1, newClicks);

  menu_->render({heading("Recent"), command("Check for Updates...", true, &newClicks)});
  ASSERT_EQ(2u, items().size());
  EXPECT_NE(before.at(0), items().at(0));
}

// A shortcut is a hint on the label only: a real accelerator would be exported over dbusmenu,
// and hosts that cannot take it print a GTK_IS_ACCEL_GROUP critical on every menu build.
TEST_F(GtkTrayMenuTest, KeyEquivalentIsAHintWithoutAnAccelerator) {
  int clicks = 0;
  MenuEntry refresh = command("Refresh Now", true, &clicks);
  refresh.keyEquivalent = 'r';
  menu_->render({refresh});
  ASSERT_EQ(1u, items().size());
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(items()[0]));
  ASSERT_TRUE(GTK_IS_ACCEL_LABEL(label));
  guint key = 0;
  GdkModifierType modifiers{};
  gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &modifiers);
  EXPECT_EQ(static_cast<guint>(GDK_KEY_r), key);
  EXPECT_EQ(GDK_CONTROL_MASK, modifiers);
  GList* accelerators = gtk_widget_list_accel_closures(items()[0]);
  EXPECT_EQ(nullptr, accelerators);
  g_list_free(accelerators);
}

// The icon is what makes a row an image item (exported as icon-data); a row whose file cannot be
// loaded still shows, as a plain entry.
TEST_F(GtkTrayMenuTest, RowsShowTheirSymbolsIcon) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  menu_->render({entry(MenuEntry::Kind::row, "Input: 0", "tray.and.arrow.down"),
                 entry(MenuEntry::Kind::row, "Lost: 0", "no.such.symbol")});
  ASSERT_EQ(2u, items().size());
  ASSERT_TRUE(GTK_IS_IMAGE_MENU_ITEM(items()[0]));
  GtkWidget* image = gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(items()[0]));
  G_GNUC_END_IGNORE_DEPRECATIONS
  GdkPixbuf* pixbuf = gtk_image_get_pixbuf(GTK_IMAGE(image));
  ASSERT_NE(nullptr, pixbuf);
  EXPECT_EQ(TrayIcons::kMenuIconSize, gdk_pixbuf_get_width(pixbuf));
  EXPECT_EQ("Lost: 0", std::string(gtk_menu_item_get_label(GTK_MENU_ITEM(items()[1]))));
  EXPECT_TRUE(gtk_widget_get_sensitive(items()[1]));
}

}  // namespace
}  // namespace nubrel::testing
