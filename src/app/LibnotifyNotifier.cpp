// LibnotifyNotifier on libnotify 0.8.
#include "app/LibnotifyNotifier.h"

#include <libnotify/notify.h>

namespace nubrel {

LibnotifyNotifier::~LibnotifyNotifier() {
  if (initialized_) {
    notify_uninit();
  }
}

void LibnotifyNotifier::notify(const std::string& summary, const std::string& body) {
  if (!initialized_) {
    initialized_ = notify_init("Nubrel") != FALSE;
    if (!initialized_) {
      return;
    }
  }
  NotifyNotification* notification =
      notify_notification_new(summary.c_str(), body.c_str(), "nubrel");
  notify_notification_set_app_name(notification, "Nubrel");
  GError* error = nullptr;
  // Fails at once where no server is running and none can be started; the notice is not worth
  // more than that.
  notify_notification_show(notification, &error);
  g_clear_error(&error);
  g_object_unref(notification);
}

}  // namespace nubrel
