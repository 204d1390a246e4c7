// The updater that stands in for the desktop's update framework, with the operations Nubrel
// uses: a controller that starts the updater, canCheckForUpdates, checkForUpdates, and the
// delegate's feed URL. It fetches the appcast, compares versions and shows the result in its own
// windows; a release with a signed package is downloaded, verified and installed on the user's
// word.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace nubrel {

class SPUUpdater;

class SPUUpdaterDelegate {
 public:
  virtual ~SPUUpdaterDelegate() = default;
  // The URL of the appcast; asked whenever the updater needs its feed.
  virtual std::string feedURLString(const SPUUpdater& updater) const = 0;
};

class SPUUpdater {
 public:
  virtual ~SPUUpdater() = default;
  // True when a user-initiated check may start now (false while a check runs).
  virtual bool canCheckForUpdates() const = 0;
  // Called on the main loop whenever canCheckForUpdates changes, so that a menu showing the
  // command enables it again when a check ends rather than at its next rebuild. Replaces an
  // earlier observer; an empty function removes it.
  virtual void setCanCheckForUpdatesObserver(std::function<void()> observer) = 0;
};

class SPUStandardUpdaterController {
 public:
  // startingUpdater: start at once, with the daily scheduled checks (false: user checks only).
  // The delegate is kept for the controller's life; a null one means Info.json's SUFeedURL. Must
  // be made and used on the thread of the GLib main loop, after GTK is initialised.
  SPUStandardUpdaterController(bool startingUpdater, std::shared_ptr<SPUUpdaterDelegate> delegate);
  // Cancels a running check and closes the updater's windows; safe at any time, so quitting
  // needs nothing more than destroying the controller (or simply leaving the main loop).
  ~SPUStandardUpdaterController();
  SPUStandardUpdaterController(const SPUStandardUpdaterController&) = delete;
  SPUStandardUpdaterController& operator=(const SPUStandardUpdaterController&) = delete;

  SPUUpdater& updater();
  // A user-initiated check, with its progress and result in the updater's own windows.
  void checkForUpdates();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nubrel
