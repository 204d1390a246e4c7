// The menu-bar item and its menu as plain data: what MenuContent builds from the view model and
// what a toolkit adapter renders. Needs no toolkit.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nubrel {

struct MenuEntry {
  enum class Kind {
    heading,  // text that cannot be chosen ("Today", "Recent")
    row,      // a figure; an ordinary enabled command whose action does nothing
    separator,
    command,  // "Check for Updates...", "Refresh Now", "Quit Nubrel"
  };
  Kind kind = Kind::row;
  std::string title;
  std::optional<std::string> iconName;  // a symbol name such as "calendar"
  std::optional<char> keyEquivalent;    // a lower-case letter, with the primary modifier (Ctrl)
  bool enabled = true;
  std::function<void()> action;  // runs on the UI thread when chosen; empty: does nothing
};

struct MenuDescription {
  std::string iconName;  // "hourglass" while loading, else "chart.bar.fill"
  std::string title;     // the view model's menuBarTitle
  // What a tooltip shows below the title: today's breakdown, a row a line; after a failed
  // refresh, why; empty while loading.
  std::string details;
  std::vector<MenuEntry> entries;
};

// What the menu needs of the updater controller for "Check for Updates...". The application's
// CheckForUpdatesView implements it.
class UpdaterControlling {
 public:
  virtual ~UpdaterControlling() = default;
  virtual bool canCheckForUpdates() const = 0;
  // The user chose the command. Implementations check canCheckForUpdates again: a click can
  // arrive for an entry the host showed disabled.
  virtual void checkForUpdates() = 0;
};

}  // namespace nubrel
