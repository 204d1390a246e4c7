// The updater's checks, schedule and installs against a real HTTP server on 127.0.0.1, with a
// recording user driver and command runner, a settable clock and a main loop stepped by hand.
#include "updater/StandardUpdater.h"

#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/ManualEventLoop.h"
#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/MainLoop.h"
#include "updater/UpdaterHarness.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;
using testing::appcast;

struct FeedAt : SPUUpdaterDelegate {
  std::string feedURLString(const SPUUpdater&) const override { return url; }
  std::string url;
};

class StandardUpdaterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    updater_.reset();
    testing::drainMainLoop();
  }
  // What the updater shows from now until it can check again, when the feed is at path.
  Events shownUntilDone(const std::string& path, StandardUpdater& updater,
                        const std::function<void()>& start) {
    feed_->url = server_.url(path);
    driver_.events.clear();
    start();
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return updater.canCheckForUpdates(); }));
    return driver_.events;
  }
  Events check(const std::string& path) {
    return shownUntilDone(path, *updater_, [&] { updater_->checkForUpdates(); });
  }

  std::shared_ptr<FeedAt> feed_ = std::make_shared<FeedAt>();
  testing::RecordingUserDriver driver_;
  testing::FakeClock clock_{Instant{1'750'000'000s}};
  testing::ManualEventLoop loop_;
  testing::InMemoryUpdaterState state_;
  testing::FeedServer server_;
  testing::SigningKey key_;
  testing::RecordingCommandRunner runner_;
  testing::TempDir downloads_;
  UpdateInstaller installer_{runner_, downloads_.path(), {.ioTimeout = 1s}, "Nubrel/1.2.0"};
  std::unique_ptr<StandardUpdater> updater_ = std::make_unique<StandardUpdater>(
      BundleInfo{"Nubrel", "1.2.0", "1.2", key_.publicKeyBase64()}, feed_, driver_, clock_, loop_,
      state_, installer_, FetchLimits{.ioTimeout = 1s});
};

TEST_F(StandardUpdaterTest, UserCheckShowsWhatTheFeedSays) {
  const std::string hostile = "1.3\n<b>" + std::string(200, 'x') + "</b>";
  const std::pair<std::string, std::string> cases[] = {
      // the feed ("": none), what is shown
      {appcast("1.3.0"), "found 1.3.0"},
      {appcast("1.2", "<sparkle:shortVersionString>1.2 (same)</sparkle:shortVersionString>"),
       "upToDate 1.2 (same)"},
      {appcast("1.1.9"), "upToDate 1.1.9 running 1.2"},
      {"<rss><channel/></rss>", "upToDate 1.2"},
      {appcast("1.3.0").substr(0, 200), "error malformedFeed"},
      {"", "error httpStatus 404"},
      // Feed texts reach the window cleaned and cut short; only web pages are linked.
      {"<rss xmlns:s=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><item>"
       "<s:version>9</s:version><s:shortVersionString><![CDATA[" +
           hostile +
           "]]></s:shortVersionString><link>javascript:alert(1)</link><s:releaseNotesLink>"
           "file:///etc/passwd</s:releaseNotesLink></item></channel></rss>",
       "found 1.3 <b>" + std::string(41, 'x') + "…"},
  };
  for (const auto& [feed, shown] : cases) {
    const std::string path = "/" + std::to_string(std::hash<std::string>()(feed));
    server_.serve(path, feed, feed.empty() ? 404 : 200);
    EXPECT_EQ((Events{"checking", shown}), check(path)) << feed;
  }
  EXPECT_EQ((UpdateOffer{"Nubrel", "1.2", driver_.offer->newVersion}), driver_.offer);
  EXPECT_FALSE(driver_.install) << "a release without a package offers no install";
}

TEST_F(StandardUpdaterTest, InstallUpdateDownloadsVerifiesAndShowsEachOutcome) {
  const std::string package = "!<arch>\nnubrel 1.3.0";
  server_.serve("/n.deb", package);
  const auto feedSignedBy = [&](const testing::SigningKey& key) {
    return appcast("1.3.0", "<enclosure url=\"" + server_.url("/n.deb") + "\" length=\"" +
                                std::to_string(package.size()) + "\" sparkle:edSignature=\"" +
                                key.sign(package) + "\"/>");
  };
  server_.serve("/good", feedSignedBy(key_));
  server_.serve("/forged", feedSignedBy(testing::SigningKey()));
  const std::tuple<const char*, bool, Events> cases[] = {
      // feed, pkexec there, what is shown
      {"/good", true, {"downloading", "installing", "installed 1.3.0"}},
      {"/good", false, {"downloading", "command"}},
      {"/forged", true, {"downloading", "error badSignature"}},
  };
  for (const auto& [path, hasPkexec, shown] : cases) {
    runner_.hasPkexec = hasPkexec;
    check(path);
    ASSERT_TRUE(driver_.install) << path;
    EXPECT_EQ(shown, shownUntilDone(path, *updater_,
                                    [&] {
                                      driver_.install();
                                      EXPECT_FALSE(updater_->canCheckForUpdates())
                                          << "no check while installing";
                                      EXPECT_TRUE(testing::runMainLoopUntil([&] {
                                        return runner_.isRunning() ||
                                               updater_->canCheckForUpdates();
                                      }));
                                      runner_.finish(0);
                                    }))
        << path;
  }
}

TEST_F(StandardUpdaterTest, CancelEndsTheCheckAndDestroyingTheUpdaterClosesItsWindow) {
  server_.serveStalled("/stalled");
  feed_->url = server_.url("/stalled");
  std::vector<bool> seen;  // canCheckForUpdates, each time the observer is told of a change
  updater_->setCanCheckForUpdatesObserver([&] { seen.push_back(updater_->canCheckForUpdates()); });
  updater_->checkForUpdates();
  updater_->checkForUpdates();  // a second command while one runs starts nothing
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 1; }));
  driver_.cancel();
  EXPECT_EQ((std::vector<bool>{false, true}), seen);
  updater_->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 2; }));
  updater_.reset();
  testing::drainMainLoop();
  EXPECT_EQ((Events{"checking", "checking", "dismiss"}), driver_.events);
}

TEST_F(StandardUpdaterTest, ScheduledCheckRunsWhenDueAndSpeaksOnlyOfUpdates) {
  server_.serve("/same", appcast("1.2.0"));
  server_.serve("/newer", appcast("1.3.0"));
  server_.serve("/broken", "", 500);
  const Instant now = clock_.now();
  const struct {
    std::optional<Instant> lastCheck;
    const char* path;
    bool checks;
    Instant recorded;
    Events shown;
  } cases[] = {
      {std::nullopt, "/newer", false, now, {}},  // the first start ever only records the time
      {now - 23h, "/newer", false, now - 23h, {}},
      {now + 48h, "/newer", false, now, {}},  // a time in the future is taken for now
      {now - 25h, "/same", true, now, {}},
      {now - 25h, "/broken", true, now, {}},
      {now - 25h, "/newer", true, now, {"found 1.3.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + std::string(c.lastCheck ? "" : " first start"));
    state_.time = c.lastCheck;
    const int requests = server_.requestCount(c.path);
    StandardUpdater updater({.version = "1.2.0"}, feed_, driver_, clock_, loop_, state_,
                            installer_);
    EXPECT_EQ(c.shown, shownUntilDone(c.path, updater, [&] { updater.startUpdater(); }));
    EXPECT_EQ(c.recorded, state_.time);
    EXPECT_EQ(c.checks, server_.requestCount(c.path) > requests);
  }
}

TEST_F(StandardUpdaterTest, PollStartsTheCheckOnceDueAndAUserCommandShowsIt) {
  server_.serve("/feed", appcast("1.2.0"));
  state_.time = clock_.now() - 23h;
  EXPECT_EQ((Events{"checking", "upToDate 1.2.0"}), shownUntilDone("/feed", *updater_, [&] {
              updater_->startUpdater();
              loop_.advance(1h);
              EXPECT_TRUE(updater_->canCheckForUpdates()) << "the loop's hour alone makes no day";
              clock_.advance(1h);
              loop_.advance(1h);
              EXPECT_FALSE(updater_->canCheckForUpdates());
              updater_->checkForUpdates();
            }));
  EXPECT_EQ(1, server_.requestCount("/feed"));
}

}  // namespace
}  // namespace nubrel
