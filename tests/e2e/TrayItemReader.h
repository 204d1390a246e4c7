// TrayItemReader: a panel's reading of one StatusNotifierItem: its properties and tooltip, its
// com.canonical.dbusmenu menu, where it also clicks, and the item's own methods.
#pragma once

#include <gio/gio.h>

#include <optional>
#include <string>
#include <vector>

namespace nubrel::testing {

// One entry of the menu's top level as a panel would draw it, written as text:
//   "---" for a separator; otherwise the label, then " [icon]" when it carries a PNG icon,
//   " <Control+r>" for a shortcut, and " (disabled)" when it cannot be chosen.
struct PanelEntry {
  int id = 0;
  std::string text;
};

// A panel's reading of one item, over any connection to the bus.
class TrayItemReader {
 public:
  TrayItemReader(GDBusConnection* connection, std::string busName, std::string objectPath)
      : connection_(connection), busName_(std::move(busName)), objectPath_(std::move(objectPath)) {}

  // The library exports the menu below the item's own path.
  std::string menuPath() const { return objectPath_ + "/Menu"; }
  // A string property of org.kde.StatusNotifierItem; nullopt when the item cannot be read.
  std::optional<std::string> property(const char* name) const;
  // The ToolTip property's title and text; nullopt when the item exports none.
  struct ToolTip {
    std::string title;
    std::string text;
    friend bool operator==(const ToolTip&, const ToolTip&) = default;
  };
  std::optional<ToolTip> toolTip() const;
  // The IconPixmap property as "WxH" per image, with "+" when some pixel is not transparent.
  std::vector<std::string> iconPixmaps() const;
  // Calls a method of org.kde.StatusNotifierItem, as a host does on a click; false on an error.
  bool call(const char* method, GVariant* parameters) const;
  // The menu's top level, read with GetLayout; empty when it cannot be read.
  std::vector<PanelEntry> menu() const;
  std::vector<std::string> menuTexts() const;
  // The label, the icon name and the menu asked for all at once, so that the item answers them
  // at the same turn of its main loop: a consistent view even while a refresh runs in stages.
  // Runs the thread-default main context until the answers are in.
  struct Snapshot {
    std::optional<std::string> label;
    std::optional<std::string> iconName;
    std::optional<ToolTip> toolTip;
    std::vector<std::string> menu;
  };
  Snapshot snapshot() const;

  // Sends a "clicked" event to the entry whose label is text; false when there is none.
  bool click(const std::string& label) const;

 private:
  static std::vector<PanelEntry> entriesOf(GVariant* layoutReply);
  static std::optional<ToolTip> toolTipOf(GVariant* getReply);

  GDBusConnection* connection_;
  std::string busName_;
  std::string objectPath_;
};

}  // namespace nubrel::testing
