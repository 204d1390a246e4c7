// A virtual X display for tests that open GTK windows: Xvfb on a display number it picks itself,
// started once per test process and ended with it, and helpers that read a window's widgets.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace nubrel::testing {

// Starts Xvfb and initialises GTK on it, once; false when either cannot be done.
bool startGtkOnVirtualDisplay();

// The texts of every label below widget (button labels included), in widget order.
std::vector<std::string> labelTexts(GtkWidget* widget);

// The first button below widget whose label is text; null when there is none.
GtkButton* findButton(GtkWidget* widget, const std::string& text);

// The toplevel windows GTK has shown and not destroyed.
std::vector<GtkWindow*> visibleWindows();

}  // namespace nubrel::testing
