// The updater's checks and installs against a real HTTP server on 127.0.0.1, with a recording
// user driver and command runner, a settable clock and a main loop stepped by hand for the
// schedule.
#include "updater/StandardUpdater.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/MainLoop.h"
#include "updater/SigningKey.h"
#include "updater/UpdaterFakes.h"
#include "updater/UpdaterTestText.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
using testing::appcast;

class FixedFeedDelegate : public SPUUpdaterDelegate {
 public:
  std::string feedURLString(const SPUUpdater&) const override { return url; }
  std::string url;
};

class StandardUpdaterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    updater_.reset();
    testing::drainMainLoop();
  }

  void finishCheck() {
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return updater_->canCheckForUpdates(); }));
  }

  // What the driver was last asked to show, in a few words.
  std::string outcome() const {
    const std::string last = driver_.last();
    if (last == "found") {
      return "found " + driver_.offer->newVersion;
    }
    if (last == "upToDate") {
      const auto& running = driver_.report->runningVersion;
      return "upToDate " + driver_.report->latestVersion + (running ? " running " + *running : "");
    }
    if (last == "error") {
      return "error " + testing::describe(*driver_.error);
    }
    return last;
  }

  std::shared_ptr<FixedFeedDelegate> delegate_ = std::make_shared<FixedFeedDelegate>();
  testing::RecordingUserDriver driver_;
  testing::FakeClock clock_;
  testing::ManualEventLoop loop_;
  testing::InMemoryUpdaterState state_;
  testing::FeedServer server_;
  testing::SigningKey key_;
  testing::RecordingCommandRunner runner_;
  testing::TempDir downloads_;
  UpdateInstaller installer_{
      runner_, downloads_.path(), {.totalTimeout = 5s, .ioTimeout = 1s}, "Nubrel/1.2.0"};
  std::unique_ptr<StandardUpdater> updater_ = std::make_unique<StandardUpdater>(
      BundleInfo{.name = "Nubrel",
                 .version = "1.2.0",
                 .shortVersion = "1.2",
                 .publicEDKey = key_.publicKeyBase64()},
      delegate_, driver_, clock_, loop_, state_, installer_,
      FetchLimits{.maxBodyBytes = 64 * 1024, .totalTimeout = 5s, .ioTimeout = 1s});
};

TEST_F(StandardUpdaterTest, UserCheckShowsTheOutcomeOfEachAnswer) {
  testing::SilentServer silent;
  server_.serve("/newer", appcast("1.3.0"));
  server_.serve("/same", appcast("1.2",
                                 "<sparkle:shortVersionString>1.2 (same)"
                                 "</sparkle:shortVersionString>"));
  server_.serve("/older", appcast("1.1.9"));
  server_.serve("/empty", "<rss><channel/></rss>");
  server_.serve("/malformed", appcast("1.3.0").substr(0, 200));
  server_.serve("/broken", "oops", 500);
  server_.serveEndless("/endless");
  server_.serveStalled("/stalled");
  const struct {
    std::string url;
    const char* expected;
  } cases[] = {
      {server_.url("/newer"), "found 1.3.0"},
      {server_.url("/same"), "upToDate 1.2 (same)"},
      {server_.url("/older"), "upToDate 1.1.9 running 1.2"},
      {server_.url("/empty"), "upToDate 1.2"},
      {server_.url("/malformed"), "error malformedFeed"},
      {server_.url("/missing"), "error httpStatus 404"},
      {server_.url("/broken"), "error httpStatus 500"},
      {server_.url("/endless"), "error tooLarge"},
      {server_.url("/stalled"), "error timedOut"},
      {silent.url("/"), "error timedOut"},
      {"http://127.0.0.1:" + std::to_string(testing::closedPort()) + "/", "error unreachable"},
      {"http://example.com/appcast.xml", "error insecureFeedURL"},
      {"", "error invalidFeedURL"},
  };
  for (const auto& c : cases) {
    delegate_->url = c.url;
    driver_.events.clear();
    updater_->checkForUpdates();
    EXPECT_FALSE(updater_->canCheckForUpdates()) << c.url;
    finishCheck();
    EXPECT_EQ(2u, driver_.events.size()) << c.url;
    EXPECT_EQ("checking", driver_.events.front()) << c.url;
    EXPECT_EQ(c.expected, outcome()) << c.url;
  }
}

TEST_F(StandardUpdaterTest, FoundUpdateOffersOnlyCleanTextsAndWebPages) {
  const std::string hostileVersion = "1.3\n<b>" + std::string(200, 'x') + "</b>";
  server_.serve("/feed", R"(<rss xmlns:s="http://www.andymatuschak.org/xml-namespaces/sparkle">
      <channel><item><s:version>9</s:version><s:shortVersionString><![CDATA[)" +
                             hostileVersion + R"(]]></s:shortVersionString>
      <link>javascript:alert(1)</link><s:releaseNotesLink>file:///etc/passwd</s:releaseNotesLink>
      </item></channel></rss>)");
  delegate_->url = server_.url("/feed");
  updater_->checkForUpdates();
  finishCheck();
  ASSERT_EQ("found", driver_.last());
  const UpdateOffer& offer = *driver_.offer;
  EXPECT_EQ("1.3 <b>" + std::string(41, 'x') + "…", offer.newVersion);
  EXPECT_EQ(std::nullopt, offer.releaseNotesURL);
  EXPECT_EQ(std::nullopt, offer.pageURL);
  EXPECT_FALSE(driver_.install) << "a release without a package offers no install";
  EXPECT_EQ("1.2", offer.currentVersion);
}

TEST_F(StandardUpdaterTest, InstallUpdateDownloadsVerifiesAndReportsEachOutcome) {
  const std::string package = "!<arch>\nnubrel 1.3.0";
  server_.serve("/nubrel_1.3.0_amd64.deb", package);
  const auto feedWith = [&](const std::string& signature) {
    return appcast("1.3.0", "<enclosure url=\"" + server_.url("/nubrel_1.3.0_amd64.deb") +
                                "\" length=\"" + std::to_string(package.size()) +
                                "\" sparkle:edSignature=\"" + signature + "\"/>");
  };
  server_.serve("/good", feedWith(key_.sign(package)));
  server_.serve("/forged", feedWith(testing::SigningKey().sign(package)));
  const struct {
    const char* path;
    bool hasPkexec;
    std::vector<std::string> events;
  } cases[] = {
      {"/good", true, {"found", "downloading", "installing", "installed"}},
      {"/good", false, {"found", "downloading", "command"}},
      {"/forged", true, {"found", "downloading", "error"}},
  };
  for (const auto& c : cases) {
    delegate_->url = server_.url(c.path);
    runner_.hasPkexec = c.hasPkexec;
    driver_.events.clear();
    updater_->checkForUpdates();
    finishCheck();
    ASSERT_TRUE(driver_.install) << c.path;
    driver_.install();
    EXPECT_FALSE(updater_->canCheckForUpdates()) << "no check while installing";
    ASSERT_TRUE(testing::runMainLoopUntil(
        [&] { return updater_->canCheckForUpdates() || runner_.isRunning(); }));
    runner_.finish(0);
    EXPECT_TRUE(updater_->canCheckForUpdates()) << c.path;
    EXPECT_EQ(c.events, std::vector(driver_.events.begin() + 1, driver_.events.end()))
        << c.path << (c.hasPkexec ? "" : " without pkexec");
  }
  EXPECT_EQ("badSignature", testing::describe(*driver_.error));
}

TEST_F(StandardUpdaterTest, CancelEndsTheCheckAndShowsNothingMore) {
  server_.serveStalled("/stalled");
  delegate_->url = server_.url("/stalled");
  std::vector<bool> seen;  // canCheckForUpdates, each time the observer is told of a change
  updater_->setCanCheckForUpdatesObserver([&] { seen.push_back(updater_->canCheckForUpdates()); });
  updater_->checkForUpdates();
  updater_->checkForUpdates();  // a second command while one runs starts nothing
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 1; }));
  ASSERT_TRUE(driver_.cancel);
  driver_.cancel();
  EXPECT_TRUE(updater_->canCheckForUpdates());
  EXPECT_EQ((std::vector<bool>{false, true}), seen);
  testing::drainMainLoop();
  EXPECT_EQ(std::vector<std::string>{"checking"}, driver_.events);
  EXPECT_EQ(1, server_.requestCount("/stalled"));
}

TEST_F(StandardUpdaterTest, DestroyingTheUpdaterDuringACheckClosesItsWindow) {
  server_.serveEndless("/endless");
  delegate_->url = server_.url("/endless");
  updater_->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/endless") == 1; }));
  updater_.reset();
  testing::drainMainLoop();
  EXPECT_EQ((std::vector<std::string>{"checking", "dismiss"}), driver_.events);
}

TEST_F(StandardUpdaterTest, ScheduledCheckRunsWhenDueAndSpeaksOnlyOfUpdates) {
  server_.serve("/same", appcast("1.2.0"));
  server_.serve("/newer", appcast("1.3.0"));
  server_.serve("/broken", "", 500);
  const Instant now = clock_.now();
  const struct {
    const char* label;
    std::optional<Instant> lastCheck;
    const char* path;
    bool checks;
    Instant recorded;
    std::vector<std::string> events;
  } cases[] = {
      {"first start ever", std::nullopt, "/newer", false, now, {}},
      {"checked 23 hours ago", now - 23h, "/newer", false, now - 23h, {}},
      {"last check in the future", now + 48h, "/newer", false, now, {}},
      {"due, up to date", now - 25h, "/same", true, now, {}},
      {"due, server error", now - 25h, "/broken", true, now, {}},
      {"due, update found", now - 25h, "/newer", true, now, {"found"}},
  };
  for (const auto& c : cases) {
    state_.time = c.lastCheck;
    delegate_->url = server_.url(c.path);
    driver_.events.clear();
    StandardUpdater updater({.version = "1.2.0"}, delegate_, driver_, clock_, loop_, state_,
                            installer_);
    updater.startUpdater();
    EXPECT_EQ(c.checks, !updater.canCheckForUpdates()) << c.label;
    EXPECT_EQ(c.recorded, state_.time) << c.label;
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return updater.canCheckForUpdates(); }));
    EXPECT_EQ(c.events, driver_.events) << c.label;
  }
}

TEST_F(StandardUpdaterTest, PollFindsTheCheckDueAfterTheClockMoves) {
  server_.serve("/feed", appcast("1.2.0"));
  delegate_->url = server_.url("/feed");
  state_.time = clock_.now() - 23h;
  updater_->startUpdater();
  loop_.advance(1h);
  EXPECT_TRUE(updater_->canCheckForUpdates()) << "the loop's hour alone makes no day";
  clock_.advance(1h);
  loop_.advance(1h);
  EXPECT_FALSE(updater_->canCheckForUpdates());
  finishCheck();
  EXPECT_EQ(1, server_.requestCount("/feed"));
}

TEST_F(StandardUpdaterTest, UserCommandDuringAScheduledCheckShowsThatCheck) {
  server_.serve("/feed", appcast("1.2.0"));
  delegate_->url = server_.url("/feed");
  state_.time = clock_.now() - 25h;
  updater_->startUpdater();
  updater_->checkForUpdates();
  finishCheck();
  EXPECT_EQ((std::vector<std::string>{"checking", "upToDate"}), driver_.events);
  EXPECT_EQ(1, server_.requestCount("/feed"));
}

}  // namespace
}  // namespace nubrel
