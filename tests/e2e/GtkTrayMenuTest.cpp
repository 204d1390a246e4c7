// GtkTrayMenu in a real GTK on Xvfb: what a click runs, and when items are kept or replaced.
#include "app/GtkTrayMenu.h"

#include <gtest/gtest.h>

namespace nubrel::testing {
namespace {

class GtkTrayMenuTest : public ::testing::Test {
 protected:
  static MenuEntry entry(std::string title, bool enabled = true, int* clicks = nullptr) {
    MenuEntry made;
    made.kind = clicks ? MenuEntry::Kind::command : MenuEntry::Kind::heading;
    made.title = std::move(title);
    made.enabled = enabled;
    if (clicks) {
      made.action = [clicks] { ++*clicks; };
    }
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
  std::unique_ptr<GtkTrayMenu> menu_ = std::make_unique<GtkTrayMenu>(icons_);
};

// Hosts keep their ids for items updated in place, and deliver clicks on entries they show
// disabled, which must run nothing. A new text is a new item.
TEST_F(GtkTrayMenuTest, KeepsItemsOfTheSameTextsAndRunsOnlyEnabledOnes) {
  int oldClicks = 0;
  int newClicks = 0;
  menu_->render({entry("Today"), entry("Check for Updates...", true, &oldClicks)});
  const std::vector<GtkWidget*> before = items();
  menu_->render({entry("Today"), entry("Check for Updates...", false, &newClicks)});
  EXPECT_EQ(before, items());
  EXPECT_FALSE(gtk_widget_get_sensitive(items().at(0))) << "a heading stays insensitive";
  gtk_menu_item_activate(GTK_MENU_ITEM(items().at(1)));
  menu_->render({entry("Today"), entry("Check for Updates...", true, &newClicks)});
  gtk_menu_item_activate(GTK_MENU_ITEM(items().at(1)));
  EXPECT_EQ(0, oldClicks) << "the first action was replaced";
  EXPECT_EQ(1, newClicks) << "the disabled entry ran";

  menu_->render({entry("Today"), entry("Refresh Now", true, &newClicks)});
  EXPECT_EQ("Refresh Now", std::string(gtk_menu_item_get_label(GTK_MENU_ITEM(items().at(1)))));
}

}  // namespace
}  // namespace nubrel::testing
