// PanelHost: the panel's side of the tray protocol, played on the test's bus. It owns
// org.kde.StatusNotifierWatcher, takes items' registrations and reports a host; TrayItemReader
// then reads an item as a panel does.
#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

#include "e2e/TrayItemReader.h"
#include "updater/GlibHandles.h"

namespace nubrel::testing {

class PanelHost {
 public:
  // Connects to the bus (a connection of its own, as a panel process has) and owns the watcher
  // name. Destroying it closes the connection: the name goes away as when the panel exits.
  explicit PanelHost(const std::string& busAddress);
  ~PanelHost();
  PanelHost(const PanelHost&) = delete;
  PanelHost& operator=(const PanelHost&) = delete;

  bool ownsWatcherName() const { return ownsName_; }

  struct Registration {
    std::string busName;
    std::string objectPath;
  };
  // Every RegisterStatusNotifierItem call received, in order.
  const std::vector<Registration>& registrations() const { return registrations_; }

 private:
  static void onMethodCall(GDBusConnection*, const char* sender, const char*, const char*,
                           const char* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer data);
  static GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                 const char* property, GError**, gpointer data);

  GObjectPtr<GDBusConnection> connection_;
  guint objectId_ = 0;
  guint nameId_ = 0;
  bool ownsName_ = false;
  std::vector<Registration> registrations_;
};

}  // namespace nubrel::testing
