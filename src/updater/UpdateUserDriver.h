// UpdateUserDriver: how the updater shows a check and its outcome. The check logic talks only to
// this interface; the windows are GtkUpdateUserDriver's.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "updater/UpdateError.h"

namespace nubrel {

// A newer version than the running one. Texts from the feed are cleaned and shortened for
// display; the URLs are http(s) only.
struct UpdateOffer {
  std::string appName{};
  std::string currentVersion{};  // the running program's, as shown to people
  std::string newVersion{};
  std::optional<std::string> releaseNotesURL{};
  std::optional<std::string> pageURL{};  // what "Learn More…" opens, for releases without package

  friend bool operator==(const UpdateOffer&, const UpdateOffer&) = default;
};

struct UpToDateReport {
  std::string appName{};
  std::string latestVersion{};                  // the feed's newest, or the running one
  std::optional<std::string> runningVersion{};  // set when the running version is newer still

  friend bool operator==(const UpToDateReport&, const UpToDateReport&) = default;
};

class UpdateUserDriver {
 public:
  virtual ~UpdateUserDriver() = default;
  // Every show replaces what the driver showed before. cancel is called when the user stops the
  // check, never when the window is replaced or dismissed by the updater.
  virtual void showCheckingForUpdates(std::function<void()> cancel) = 0;
  // install starts installing the release's package; empty when it has none, and the window
  // offers the release's page instead.
  virtual void showUpdateFound(const UpdateOffer& offer, std::function<void()> install) = 0;
  // cancel is called when the user stops the download.
  virtual void showDownloading(std::function<void()> cancel) = 0;
  virtual void showInstalling() = 0;
  virtual void showUpdateInstalled(const UpdateOffer& offer) = 0;
  // The package is verified and kept; the user installs it with command.
  virtual void showInstallCommand(const std::string& command) = 0;
  virtual void showUpToDate(const UpToDateReport& report) = 0;
  virtual void showUpdateError(const UpdateError& error) = 0;
  virtual void dismiss() = 0;
};

}  // namespace nubrel
