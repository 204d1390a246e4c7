// TrayIcons: Nubrel's own icons, one SVG per symbol name, in a folder found beside the program.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "updater/GlibHandles.h"

namespace nubrel {

class TrayIcons {
 public:
  static constexpr int kMenuIconSize = 16;  // pixels, the size of a menu row's icon
  // The sizes of the panel icon sent as pixels: a panel's usual size and its double.
  static constexpr int kPanelIconSizes[] = {22, 44};

  // One square image as a StatusNotifierItem's IconPixmap carries it: ARGB32, each pixel's four
  // bytes in network order, rows top to bottom.
  struct Pixmap {
    int size = 0;
    std::vector<unsigned char> argb;
  };

  // <exe dir>/../share/nubrel/icons of the running program: where `cmake --install` puts the
  // icons, and where the build lays them out beside build/bin.
  static std::filesystem::path installedFolder();

  explicit TrayIcons(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& folder() const { return folder_; }

  // The icon's name in the folder and on the bus: "chart.bar.fill" is "nubrel-chart-bar-fill"
  // (file nubrel-chart-bar-fill.svg). Hosts look dotted names up unreliably, so dots become dashes.
  static std::string iconName(std::string_view symbolName);

  // The symbol drawn at kMenuIconSize, loaded once; nullptr when its file cannot be loaded (the
  // row then goes without an icon). Owned here.
  GdkPixbuf* menuPixbuf(std::string_view symbolName) const;

  // The symbol at each of kPanelIconSizes; empty when its file cannot be loaded. Not cached:
  // the panel icon changes rarely.
  std::vector<Pixmap> panelPixmaps(std::string_view symbolName) const;

 private:
  std::filesystem::path folder_;
  mutable std::map<std::string, GObjectPtr<GdkPixbuf>, std::less<>> pixbufs_;
};

}  // namespace nubrel
