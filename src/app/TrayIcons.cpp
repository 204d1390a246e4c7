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

}  // namespace nubrel
