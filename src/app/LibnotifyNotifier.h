// LibnotifyNotifier: the limit notices as desktop notifications, through libnotify and the
// desktop's notification server (org.freedesktop.Notifications).
#pragma once

#include <string>

#include "ui/LimitNotices.h"

namespace nubrel {

// Where the session has no notification server the notice is dropped; nothing is logged.
class LibnotifyNotifier : public Notifier {
 public:
  LibnotifyNotifier() = default;
  ~LibnotifyNotifier() override;
  LibnotifyNotifier(const LibnotifyNotifier&) = delete;
  LibnotifyNotifier& operator=(const LibnotifyNotifier&) = delete;

  void notify(const std::string& summary, const std::string& body) override;

 private:
  bool initialized_ = false;  // libnotify is set up on the first notice, not at start-up
};

}  // namespace nubrel
