// StandardUpdater: the schedule, one check from feed URL to user driver, and what of the feed
// reaches the windows.
#include "updater/StandardUpdater.h"

#include <glib.h>

#include <utility>

#include "updater/Appcast.h"
#include "updater/FeedURLRules.h"
#include "updater/GlibHandles.h"
#include "updater/VersionComparator.h"

namespace nubrel {
namespace {

constexpr glong kMaxVersionChars = 48;

// A feed's text as a window may show it: valid UTF-8, control characters as spaces, and at most
// maxChars characters, so that a hostile version cannot break lines or stretch the window.
std::string displayText(const std::string& text, glong maxChars) {
  const GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  std::string shown;
  glong count = 0;
  for (const char* p = valid.get(); *p != '\0' && count < maxChars; ++count) {
    const char* next = g_utf8_next_char(p);
    const gunichar c = g_utf8_get_char(p);
    if (g_unichar_iscntrl(c) || c == 0x2028 || c == 0x2029) {
      shown += ' ';
    } else {
      shown.append(p, static_cast<std::size_t>(next - p));
    }
    p = next;
  }
  if (g_utf8_strlen(valid.get(), -1) > maxChars) {
    shown += "…";
  }
  return shown;
}

std::optional<std::string> pageFrom(const std::optional<std::string>& url) {
  return url ? webPageURL(*url) : std::nullopt;
}

}  // namespace

StandardUpdater::StandardUpdater(BundleInfo bundle, std::shared_ptr<SPUUpdaterDelegate> delegate,
                                 UpdateUserDriver& driver, const Clock& clock, EventLoop& loop,
                                 UpdaterState& state, UpdateInstaller& installer,
                                 FetchLimits limits, UpdaterSchedule schedule)
    : bundle_(std::move(bundle)),
      delegate_(std::move(delegate)),
      driver_(driver),
      clock_(clock),
      loop_(loop),
      state_(state),
      installer_(installer),
      schedule_(schedule),
      fetcher_(limits, bundle_.name + "/" + bundle_.version) {}

StandardUpdater::~StandardUpdater() {
  fetcher_.cancel();
  installer_.cancel();
  if ((check_ && check_->userInitiated) || installing_) {
    driver_.dismiss();
  }
}

void StandardUpdater::startUpdater() {
  if (pollTimer_) {
    return;
  }
  pollTimer_ = loop_.startRepeating(schedule_.pollInterval, [this] { checkIfDue(); });
  checkIfDue();
}

void StandardUpdater::checkForUpdates() {
  if (installing_) {
    return;
  }
  if (!check_) {
    startCheck(true);
  } else if (!check_->userInitiated) {
    check_->userInitiated = true;
    showChecking();
  }
}

void StandardUpdater::setCheck(std::optional<RunningCheck> check) {
  const bool couldCheck = canCheckForUpdates();
  check_ = check;
  notifyIfChanged(couldCheck);
}

void StandardUpdater::setInstalling(bool installing) {
  const bool couldCheck = canCheckForUpdates();
  installing_ = installing;
  notifyIfChanged(couldCheck);
}

void StandardUpdater::notifyIfChanged(bool couldCheck) {
  if (couldCheck != canCheckForUpdates() && canCheckObserver_) {
    canCheckObserver_();
  }
}

void StandardUpdater::checkIfDue() {
  if (!canCheckForUpdates()) {
    return;
  }
  const Instant now = clock_.now();
  const auto last = lastCheckTime();
  // A time in the future means the clock was set back; waiting for it could take years.
  if (!last || *last > now) {
    recordCheckTime(now);
    return;
  }
  if (now - *last >= schedule_.checkInterval) {
    startCheck(false);
  }
}

void StandardUpdater::startCheck(bool userInitiated) {
  recordCheckTime(clock_.now());
  setCheck(RunningCheck{userInitiated});
  if (userInitiated) {
    showChecking();
  }
  fetcher_.fetch(feedURL(), [this](FetchResult result) { finishCheck(std::move(result)); });
}

void StandardUpdater::showChecking() {
  driver_.showCheckingForUpdates([this] { cancelCheck(); });
}

void StandardUpdater::cancelCheck() {
  fetcher_.cancel();
  setCheck(std::nullopt);
}

void StandardUpdater::finishCheck(FetchResult result) {
  // The check is over before anything is shown, so the windows see canCheckForUpdates true.
  const bool visible = check_ && check_->userInitiated;
  setCheck(std::nullopt);
  std::optional<UpdateError> error;
  std::optional<std::vector<AppcastItem>> items;
  if (const auto* failure = std::get_if<UpdateError>(&result)) {
    error = *failure;
  } else {
    items = parseAppcast(std::get<std::string>(result));
    if (!items) {
      error = UpdateError{UpdateError::Kind::malformedFeed};
    }
  }
  if (error) {
    if (visible) {
      driver_.showUpdateError(*error);
    }
    return;
  }
  const AppcastItem* newest = newestItem(*items);
  if (newest && compareVersions(bundle_.version, newest->version) < 0) {
    std::function<void()> install;
    if (newest->enclosure) {
      install = [this, item = *newest] { installUpdate(item); };
    }
    driver_.showUpdateFound(offerFor(*newest), std::move(install));
  } else if (visible) {
    driver_.showUpToDate(reportFor(newest));
  }
}

std::optional<Instant> StandardUpdater::lastCheckTime() const {
  const auto stored = state_.lastCheckTime();
  return stored ? stored : lastCheckInMemory_;
}

void StandardUpdater::recordCheckTime(Instant time) {
  lastCheckInMemory_ = time;
  state_.setLastCheckTime(time);
}

std::string StandardUpdater::feedURL() const {
  if (delegate_) {
    return delegate_->feedURLString(*this);
  }
  return infoDictionaryString("SUFeedURL").value_or("");
}

UpdateOffer StandardUpdater::offerFor(const AppcastItem& item) const {
  UpdateOffer offer{.appName = bundle_.name,
                    .currentVersion = bundle_.shortVersion,
                    .newVersion = displayText(item.displayVersionString, kMaxVersionChars),
                    .releaseNotesURL = pageFrom(item.releaseNotesLink)};
  // The product page first; the release notes when that is all there is.
  offer.pageURL = item.link ? pageFrom(item.link) : std::nullopt;
  offer.pageURL = offer.pageURL ? offer.pageURL : offer.releaseNotesURL;
  return offer;
}

void StandardUpdater::installUpdate(const AppcastItem& item) {
  if (!canCheckForUpdates() || !item.enclosure) {
    return;
  }
  setInstalling(true);
  driver_.showDownloading([this] {
    installer_.cancel();
    setInstalling(false);
  });
  installer_.install(
      *item.enclosure, bundle_.publicEDKey, [this] { driver_.showInstalling(); },
      [this, offer = offerFor(item)](UpdateInstaller::Outcome outcome) {
        finishInstall(offer, std::move(outcome));
      });
}

void StandardUpdater::finishInstall(const UpdateOffer& offer, UpdateInstaller::Outcome outcome) {
  setInstalling(false);
  if (const auto* error = std::get_if<UpdateError>(&outcome)) {
    driver_.showUpdateError(*error);
  } else if (const auto* byHand = std::get_if<UpdateInstaller::InstallByHand>(&outcome)) {
    driver_.showInstallCommand(byHand->command);
  } else {
    driver_.showUpdateInstalled(offer);
  }
}

UpToDateReport StandardUpdater::reportFor(const AppcastItem* newest) const {
  if (!newest) {
    return {.appName = bundle_.name, .latestVersion = bundle_.shortVersion};
  }
  UpToDateReport report{
      .appName = bundle_.name,
      .latestVersion = displayText(newest->displayVersionString, kMaxVersionChars)};
  if (compareVersions(bundle_.version, newest->version) > 0) {
    report.runningVersion = bundle_.shortVersion;
  }
  return report;
}

}  // namespace nubrel
