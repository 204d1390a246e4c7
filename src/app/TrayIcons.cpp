// TrayIcons: icon names from symbol names, the folder beside the program, and the menu pixbufs.
#include "app/TrayIcons.h"

#include <glib.h>

#include <algorithm>

namespace nubrel {

std::filesystem::path TrayIcons::installedFolder() {
  // /proc/self/exe rather than argv[0]: it is absolute and names the binary even when the
  // program was started through a symbolic link or from $PATH.
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return {};
  }
  return (exe.parent_path().parent_path() / "share" / "nubrel" / "icons").lexically_normal();
}

std::string TrayIcons::iconName(std::string_view symbolName) {
  std::string name = "nubrel-" + std::string(symbolName);
  std::replace(name.begin(), name.end(), '.', '-');
  return name;
}

GdkPixbuf* TrayIcons::menuPixbuf(std::string_view symbolName) const {
  const auto found = pixbufs_.find(symbolName);
  if (found != pixbufs_.end()) {
    return found->second.get();
  }
  const std::filesystem::path file = folder_ / (iconName(symbolName) + ".svg");
  GError* error = nullptr;
  GObjectPtr<GdkPixbuf> pixbuf(
      gdk_pixbuf_new_from_file_at_size(file.c_str(), kMenuIconSize, kMenuIconSize, &error));
  // A missing or broken icon costs the row its picture, nothing more; it is remembered as
  // missing so that each rebuild does not try the disk again.
  g_clear_error(&error);
  GdkPixbuf* result = pixbuf.get();
  pixbufs_.emplace(std::string(symbolName), std::move(pixbuf));
  return result;
}

std::vector<TrayIcons::Pixmap> TrayIcons::panelPixmaps(std::string_view symbolName) const {
  const std::filesystem::path file = folder_ / (iconName(symbolName) + ".svg");
  std::vector<Pixmap> pixmaps;
  for (const int size : kPanelIconSizes) {
    GObjectPtr<GdkPixbuf> loaded(
        gdk_pixbuf_new_from_file_at_size(file.c_str(), size, size, nullptr));
    if (!loaded) {
      return {};
    }
    // Always four channels, so that one conversion fits every file.
    GObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_add_alpha(loaded.get(), FALSE, 0, 0, 0));
    const int width = gdk_pixbuf_get_width(pixbuf.get());
    const int height = gdk_pixbuf_get_height(pixbuf.get());
    const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf.get());
    // A file whose aspect is not square comes out smaller on one side; it is centred.
    Pixmap pixmap{size, std::vector<unsigned char>(static_cast<std::size_t>(size * size * 4), 0)};
    const int left = (size - width) / 2;
    const int top = (size - height) / 2;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const guchar* rgba = pixels + y * stride + x * 4;
        unsigned char* argb =
            &pixmap.argb[static_cast<std::size_t>(((top + y) * size + left + x) * 4)];
        argb[0] = rgba[3];
        argb[1] = rgba[0];
        argb[2] = rgba[1];
        argb[3] = rgba[2];
      }
    }
    pixmaps.push_back(std::move(pixmap));
  }
  return pixmaps;
}

}  // namespace nubrel
