// GtkUpdateUserDriver: the updater's own GTK 3 windows (checking, update found, up to date,
// error), one at a time. GTK must be initialised before the first window is shown.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "updater/UpdateUserDriver.h"

namespace nubrel {

class GtkUpdateUserDriver : public UpdateUserDriver {
 public:
  // Opens an http(s) page in the user's browser; false when none could be started. It is given no
  // window: the window that asked is closed at once, while the browser may still be starting.
  using PageOpener = std::function<bool(const std::string& uri)>;

  GtkUpdateUserDriver();  // opens pages with gtk_show_uri_on_window
  explicit GtkUpdateUserDriver(PageOpener opener);
  // Closes the window shown, without calling its cancel.
  ~GtkUpdateUserDriver() override;
  GtkUpdateUserDriver(const GtkUpdateUserDriver&) = delete;
  GtkUpdateUserDriver& operator=(const GtkUpdateUserDriver&) = delete;

  void showCheckingForUpdates(std::function<void()> cancel) override;
  void showUpdateFound(const UpdateOffer& offer, std::function<void()> install) override;
  void showDownloading(std::function<void()> cancel) override;
  void showInstalling() override;
  void showUpdateInstalled(const UpdateOffer& offer) override;
  void showInstallCommand(const std::string& command) override;
  void showUpToDate(const UpToDateReport& report) override;
  void showUpdateError(const UpdateError& error) override;
  void dismiss() override;

  // The window shown now, or null.
  GtkWindow* window() const { return window_ ? GTK_WINDOW(window_.get()) : nullptr; }

 private:
  struct WidgetDestroy {
    void operator()(GtkWidget* widget) const;
  };
  struct Content;

  void present(const Content& content, std::function<void()> onUserClose);
  void openPage(const std::string& uri);
  static void onDestroyed(GtkWidget* widget, gpointer self);

  PageOpener opener_;
  std::unique_ptr<GtkWidget, WidgetDestroy> window_;
  std::function<void()> onUserClose_;  // for the window shown, when the user closes it
};

}  // namespace nubrel
