// NubrelApp: the application's entry and the owner of its long-lived objects: the view model
// with its usage service, the updater store, and the menu-bar item with its menu. They are made
// once at launch and live until the user quits.
#pragma once

#include <glib.h>

#include <memory>
#include <vector>

#include "app/CheckForUpdatesView.h"
#include "app/LaunchGate.h"
#include "app/LibnotifyNotifier.h"
#include "app/TrayIcons.h"
#include "app/TrayItem.h"
#include "app/UpdaterStore.h"
#include "platform/GlibEventLoop.h"
#include "platform/KeyFilePreferences.h"
#include "platform/LocaleDateNames.h"
#include "platform/PosixFileSystem.h"
#include "platform/SystemClock.h"
#include "platform/ZonedCalendar.h"
#include "ui/LimitNotices.h"
#include "ui/MenuContent.h"
#include "updater/GlibHandles.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

class AppDelegate;

class NubrelApp {
 public:
  // Runs Nubrel until "Quit Nubrel", SIGTERM, SIGINT or SIGHUP, and returns the process's exit
  // status: 0, or 1 when there is no display to show an item on. Returns 0 at once when another
  // Nubrel runs in the same session.
  static int main(int argc, char** argv);

  NubrelApp();
  ~NubrelApp();
  NubrelApp(const NubrelApp&) = delete;
  NubrelApp& operator=(const NubrelApp&) = delete;

 private:
  // Made on first use, once.
  const std::shared_ptr<TokenUsageViewModel>& viewModel();
  UpdaterStore& updaterStore();

  void installMenuBarExtra();
  void run();
  void quit();
  void releaseFreedMemory();

  std::unique_ptr<AppDelegate> appDelegate_;

  // What the view model is given; declared before it, so they outlive it.
  PosixFileSystem fileSystem_;
  std::unique_ptr<ZonedCalendar> calendar_;
  SystemClock clock_;
  std::unique_ptr<LocaleDateNames> dateNames_;
  KeyFilePreferences preferences_;
  GlibEventLoop eventLoop_;
  LaunchGate launchGate_;  // the view model's loop until the item is on screen

  std::shared_ptr<TokenUsageViewModel> viewModel_;
  std::unique_ptr<UpdaterStore> updaterStore_;
  LibnotifyNotifier notifier_;
  LimitNotices limitNotices_{notifier_, preferences_};

  // The menu-bar extra.
  std::shared_ptr<CheckForUpdatesView> checkForUpdatesView_;
  std::unique_ptr<MenuContent> menuContent_;
  TrayIcons icons_;
  std::unique_ptr<TrayItem> trayItem_;
  TokenUsageViewModel::ObserverId observerId_ = 0;
  bool wasLoading_ = true;
  PendingIdle memoryRelease_;

  GMainLoop* mainLoop_;
  std::vector<GlibSourceId> signalSources_;
};

}  // namespace nubrel
