// StandardUpdater: the updater behind SPUStandardUpdaterController. It runs one check at a time,
// on the user's command or on its own daily schedule, and hands the outcome to its user driver.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "updater/FeedFetcher.h"
#include "updater/InfoDictionary.h"
#include "updater/SPUStandardUpdaterController.h"
#include "updater/UpdateInstaller.h"
#include "updater/UpdateUserDriver.h"
#include "updater/UpdaterState.h"
#include "viewmodel/Clock.h"
#include "viewmodel/EventLoop.h"

namespace nubrel {

struct AppcastItem;

struct UpdaterSchedule {
  std::chrono::seconds checkInterval{24 * 60 * 60};
  // How often the updater looks whether a check is due. Wall-clock time is compared, so a check
  // that fell due while the machine slept runs within one poll of waking up.
  std::chrono::milliseconds pollInterval{60 * 60 * 1000};
};

class StandardUpdater : public SPUUpdater {
 public:
  // delegate may be null: the feed URL then comes from Info.json's SUFeedURL. driver, clock,
  // loop, state and installer must outlive the updater.
  StandardUpdater(BundleInfo bundle, std::shared_ptr<SPUUpdaterDelegate> delegate,
                  UpdateUserDriver& driver, const Clock& clock, EventLoop& loop,
                  UpdaterState& state, UpdateInstaller& installer, FetchLimits limits = {},
                  UpdaterSchedule schedule = {});
  // Cancels a running check or download and dismisses its window.
  ~StandardUpdater() override;
  StandardUpdater(const StandardUpdater&) = delete;
  StandardUpdater& operator=(const StandardUpdater&) = delete;

  // Starts the schedule. The first start ever only records the time, so the first scheduled
  // check comes one interval later; after that a check runs when the interval has passed since
  // the last check of any kind. Scheduled checks show nothing unless an update is found.
  void startUpdater();

  // False while a check runs, and while an update downloads or installs.
  bool canCheckForUpdates() const override { return !check_ && !installing_; }
  void setCanCheckForUpdatesObserver(std::function<void()> observer) override {
    canCheckObserver_ = std::move(observer);
  }

  // A user-initiated check: the checking window, then the outcome, whatever it is. During a
  // scheduled check it makes that one visible instead; during a user check it does nothing.
  void checkForUpdates();

 private:
  struct RunningCheck {
    bool userInitiated = false;
  };

  void setCheck(std::optional<RunningCheck> check);
  void setInstalling(bool installing);
  void notifyIfChanged(bool couldCheck);
  void installUpdate(const AppcastItem& item);
  void finishInstall(const UpdateOffer& offer, UpdateInstaller::Outcome outcome);
  void checkIfDue();
  void startCheck(bool userInitiated);
  void showChecking();
  void cancelCheck();
  void finishCheck(FetchResult result);
  std::optional<Instant> lastCheckTime() const;
  void recordCheckTime(Instant time);
  std::string feedURL() const;
  UpdateOffer offerFor(const AppcastItem& item) const;
  UpToDateReport reportFor(const AppcastItem* newest) const;

  BundleInfo bundle_;
  std::shared_ptr<SPUUpdaterDelegate> delegate_;
  UpdateUserDriver& driver_;
  const Clock& clock_;
  EventLoop& loop_;
  UpdaterState& state_;
  UpdateInstaller& installer_;
  UpdaterSchedule schedule_;
  FeedFetcher fetcher_;
  std::optional<RunningCheck> check_;
  bool installing_ = false;
  std::function<void()> canCheckObserver_;
  std::optional<Instant> lastCheckInMemory_;  // used when the state store keeps nothing
  TimerHandle pollTimer_;
};

}  // namespace nubrel
