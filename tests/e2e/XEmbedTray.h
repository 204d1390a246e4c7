// XEmbedTray: the older kind of tray (tint2, trayer) played by the test on its display: it owns
// the system tray selection, records which windows ask to dock, as a plain tray icon does, and
// reads whether they want to be shown.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace nubrel::testing {

class XEmbedTray {
 public:
  // Takes the tray selection of screen 0 and announces it; throws std::runtime_error when the
  // display cannot be opened.
  explicit XEmbedTray(const std::string& display);
  ~XEmbedTray();
  XEmbedTray(const XEmbedTray&) = delete;
  XEmbedTray& operator=(const XEmbedTray&) = delete;

  // Reads what has arrived; the windows that asked to dock so far.
  const std::vector<unsigned long>& dockRequests();
  // Whether an icon is up: the last window that asked to dock still exists and wants to be shown
  // (the mapped flag of its _XEMBED_INFO).
  bool showsAnIcon();

 private:
  Display* display_;
  Window window_;
  Atom opcode_;
  std::vector<unsigned long> dockRequests_;
};

}  // namespace nubrel::testing
