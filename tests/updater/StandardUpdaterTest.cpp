// The updater's checks, schedule and installs against a real HTTP server on 127.0.0.1, with a
// recording user driver and command runner, a settable clock and a main loop stepped by hand; the
// installer on its own; and the runner of real commands that starts the system's installer.
#include "updater/StandardUpdater.h"

#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/ManualEventLoop.h"
#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/KeyFileUpdaterState.h"
#include "updater/MainLoop.h"
#include "updater/SubprocessRunner.h"
#include "updater/UpdaterHarness.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Events = std::vector<std::string>;
using testing::appcast;

class StandardUpdaterTest : public ::testing::Test {
 protected:
  // What the updater shows after start() until it can check again, with the feed at url.
  Events shown(const std::string& url, const std::function<void()>& start) {
    feed_->url = url;
    driver_.events.clear();
    start();
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return updater_->canCheckForUpdates(); }));
    return driver_.events;
  }
  // "installed", "by hand: <command>" or the error; a command that starts ends with
  // installerStatus.
  std::string install(const Enclosure& enclosure, const std::optional<std::string>& publicKey,
                      int installerStatus = 0) {
    std::optional<UpdateInstaller::Outcome> outcome;
    installer_.install(enclosure, publicKey, {}, [&](auto o) { outcome = std::move(o); });
    EXPECT_FALSE(outcome) << "completed from inside install";
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return outcome || runner_.running; }));
    runner_.finish(installerStatus);
    const auto* byHand = std::get_if<UpdateInstaller::InstallByHand>(&outcome.value());
    const auto* error = std::get_if<UpdateError>(&outcome.value());
    return error ? testing::describe(*error) : byHand ? "by hand: " + byHand->command : "installed";
  }
  std::vector<fs::path> downloads() const {  // every file below the download directory
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path() / "updates", ignored)) {
      files.insert(files.end(), entry.is_directory() ? 0 : 1, entry.path());
    }
    return files;
  }
  std::unique_ptr<StandardUpdater> fresh() {  // only the deadline ends a fetch that stalls
    return std::make_unique<StandardUpdater>(
        bundle_, feed_, driver_, clock_, loop_, state_, installer_,
        FetchLimits{.maxBodyBytes = kLimit, .totalTimeout = 2s, .ioTimeout = 60s});
  }

  static constexpr std::size_t kLimit = 64 * 1024;
  std::shared_ptr<testing::FeedAt> feed_ = std::make_shared<testing::FeedAt>();
  testing::RecordingUserDriver driver_;
  testing::FakeClock clock_{Instant{1'750'000'000s}};
  testing::ManualEventLoop loop_;
  testing::FeedServer server_;
  testing::SigningKey key_;
  testing::RecordingCommandRunner runner_;
  testing::TempDir dir_;
  KeyFileUpdaterState state_{dir_.path() / "state.ini"};
  UpdateInstaller installer_{runner_, dir_.path() / "updates", {.ioTimeout = 1s}, "Nubrel/1.2.0"};
  const BundleInfo bundle_{"Nubrel", "1.2.0", "1.2", key_.publicKeyBase64()};
  std::unique_ptr<StandardUpdater> updater_ = fresh();
  const std::function<void()> check_ = [this] { updater_->checkForUpdates(); };
};

TEST_F(StandardUpdaterTest, UserCheckShowsWhatTheServerAnswers) {
  const std::string newer = appcast("1.3.0"), same = "<sparkle:shortVersionString>1.2 (same)";
  // Feed texts reach the window cleaned and cut short; only web pages are linked.
  const std::string hostile = "<sparkle:shortVersionString><![CDATA[1.3\n<b>" +
                              std::string(99, 'x') +
                              "]]></sparkle:shortVersionString><sparkle:releaseNotesLink>file:///"
                              "etc</sparkle:releaseNotesLink>";
  const std::pair<std::string, std::string> cases[] = {
      {server_.serve("/newer", newer), "found 1.3.0"},
      {server_.serve("/same", appcast("1.2", same + "</sparkle:shortVersionString>")),
       "upToDate 1.2 (same)"},
      {server_.serve("/older", appcast("1.1.9")), "upToDate 1.1.9 running 1.2"},
      {server_.serve("/empty", "<rss><channel/></rss>"), "upToDate 1.2"},
      {server_.serve("/cut", newer.substr(0, 99)), "error malformedFeed"},
      {server_.url("/missing"), "error httpStatus 404"},
      {server_.serve("/exact", newer + std::string(kLimit - newer.size(), ' ')), "found 1.3.0"},
      {server_.serve("/over", newer + std::string(kLimit + 1 - newer.size(), ' ')),
       "error tooLarge"},
      {server_.serveStalled("/unannounced", std::string(kLimit + 1, ' ')), "error tooLarge"},
      {server_.serveStalled("/stalled"), "error timedOut"},
      {server_.redirect("/moved", "/newer"), "found 1.3.0"},
      {server_.redirect("/away", "http://example.com/newer"), "error insecureFeedURL"},
      {server_.redirect("/loop", "/loop"), "error unreachable"},
      {testing::FeedServer().url("/"), "error unreachable"},  // a port nobody listens on
      {"http://example.com/cast.xml", "error insecureFeedURL"},
      {server_.serve("/hostile", appcast("9", hostile)),
       "found 1.3 <b>" + std::string(41, 'x') + "…"},
  };
  for (const auto& [url, expected] : cases) {
    EXPECT_EQ((Events{"checking", expected}), shown(url, check_)) << url;
  }
  EXPECT_EQ(1 + 5, server_.requestCount("/loop")) << "the first request and five redirects";
}

TEST_F(StandardUpdaterTest, InstallUpdateDownloadsVerifiesAndShowsEachOutcome) {
  const std::string package = "!<arch>\nnubrel 1.3.0";
  const std::string deb = server_.serve("/n.deb", package), cast = server_.url("/cast"),
                    stalled = server_.serveStalled("/stalled.deb");
  const std::tuple<std::string, bool, std::string, Events> cases[] = {
      // package, pkexec there, its signature, what is shown
      {deb, true, key_.sign(package), {"downloading", "installing", "installed 1.3.0"}},
      {deb, false, key_.sign(package), {"downloading", "command"}},
      {deb, true, testing::SigningKey().sign(package), {"downloading", "error badSignature"}},
      {stalled, true, key_.sign(package), {"downloading"}},  // the user cancels
  };
  for (const auto& [url, hasPkexec, signature, expected] : cases) {
    runner_.hasPkexec = hasPkexec;
    server_.serve("/cast", appcast("1.3.0", "<enclosure url=\"" + url + "\" length=\"20\" " +
                                                "sparkle:edSignature=\"" + signature + "\"/>"));
    EXPECT_EQ((Events{"checking", "found 1.3.0"}), shown(cast, check_));
    EXPECT_EQ(expected, shown(cast, [&] {
                driver_.install();
                EXPECT_FALSE(updater_->canCheckForUpdates()) << "no check while installing";
                testing::runMainLoopUntil([&] {
                  return runner_.running || updater_->canCheckForUpdates() ||
                         server_.requestCount("/stalled.deb") == 1;
                });
                driver_.cancel ? driver_.cancel() : runner_.finish(0);
              }));
  }
}

TEST_F(StandardUpdaterTest, CancelEndsTheCheckAndDestroyingTheUpdaterClosesItsWindow) {
  std::vector<bool> seen;  // canCheckForUpdates, each time the observer is told of a change
  updater_->setCanCheckForUpdatesObserver([&] { seen.push_back(updater_->canCheckForUpdates()); });
  EXPECT_EQ(Events{"checking"}, shown(server_.serveStalled("/stalled"), [&] {
              check_();
              check_();  // a second command while one runs starts nothing
              testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 1; });
              driver_.cancel();
            }));
  check_();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 2; }));
  updater_.reset();
  EXPECT_EQ((std::vector<bool>{false, true, false}), seen);
  EXPECT_EQ((Events{"checking", "checking", "dismiss"}), driver_.events);
}

TEST_F(StandardUpdaterTest, ScheduledChecksRunWhenDueAndSpeakOnlyOfUpdates) {
  const std::string same = server_.serve("/same", appcast("1.2.0")),
                    newer = server_.serve("/newer", appcast("1.3.0")),
                    broken = server_.serve("/broken", "", 500);
  const Instant now = clock_.now();
  const auto at = [](Instant t) {
    return "[Updater]\nLastCheckTime=" + std::to_string((t - Instant()) / 1s);
  };
  const std::tuple<std::string, std::string, int, Instant, Events> cases[] = {
      // state file, feed, requests made, check time recorded, what is shown
      {"", newer, 0, now, {}},  // the first start ever only records the time
      {at(now - 23h), newer, 0, now - 23h, {}},
      {at(now + 48h), newer, 0, now, {}},  // a time in the future is taken for now
      {at(now - 25h), same, 1, now, {}},
      {at(now - 25h), broken, 1, now, {}},
      {at(now - 25h), newer, 1, now, {"found 1.3.0"}},
  };
  for (const auto& [state, url, requests, recorded, expected] : cases) {
    dir_.write("state.ini", state);
    updater_ = fresh();
    const int before = server_.requestCount(url);
    EXPECT_EQ(expected, shown(url, [&] { updater_->startUpdater(); })) << state << url;
    EXPECT_EQ(recorded, state_.lastCheckTime()) << state << url;
    EXPECT_EQ(requests, server_.requestCount(url) - before) << state << url;
  }
  // The hourly poll finds the check due once the clock has moved; a user's command shows it.
  dir_.write("state.ini", at(now - 23h));
  updater_ = fresh();
  EXPECT_EQ((Events{"checking", "upToDate 1.2.0"}), shown(same, [&] {
              updater_->startUpdater();
              clock_.advance(1h);
              loop_.advance(1h);
              EXPECT_FALSE(updater_->canCheckForUpdates()) << "no check started";
              check_();
            }));
}

TEST_F(StandardUpdaterTest, InstallerInstallsOnlyAVerifiedPackageAndKeepsNone) {
  const std::string package = "!<arch>\n" + std::string(100'000, 'p');
  const std::string k = key_.publicKeyBase64(), s = key_.sign(package);
  const std::uint64_t n = package.size();
  const std::string u = server_.serve("/n.deb", package);
  const struct {
    std::string url;
    std::optional<std::uint64_t> length;
    std::optional<std::string> signature, key;
    const char* expected;
    bool fetched;  // whether the package was asked for at all
    int installerStatus = 0;
  } cases[] = {
      {u, n, testing::SigningKey().sign(package), k, "badSignature", true},
      {u, n, std::nullopt, k, "missingSignature", false},
      {u, n, s, std::nullopt, "missingPublicKey", false},
      {u, n, s, k.substr(0, 20) + "\n" + k.substr(20), "missingPublicKey", false},
      {u, n, s, "MDEyMzQ1Njc4OWFiY2RlZg==", "missingPublicKey", false},  // 16 bytes
      {u, n + 1, s, k, "lengthMismatch", true},
      {u, std::nullopt, s, k, "lengthMismatch", false},
      {u, UpdateInstaller::kMaxPackageBytes + 1, s, k, "download tooLarge", false},
      {server_.redirect("/to-http", "http://example.com/n.deb"), n, s, k,
       "download insecureFeedURL", true},
      {server_.serveCut("/cut", package.substr(0, 40'000)), n, s, k, "download unreachable", true},
      {u, n, s, k, "installFailed 126", true, 126},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url + " " + c.signature.value_or("-") + " " + c.key.value_or("-"));
    runner_.commands.clear();
    const int requests = server_.requestCount(c.url);
    EXPECT_EQ(c.expected, install({c.url, c.length, c.signature}, c.key, c.installerStatus));
    EXPECT_EQ(c.fetched, server_.requestCount(c.url) > requests);
    EXPECT_EQ(c.installerStatus == 0 ? 0u : 1u, runner_.commands.size());
    EXPECT_EQ(std::vector<fs::path>{}, downloads());
  }
  EXPECT_EQ("installed", install({u, n, s}, k));
  const std::vector<std::string> command = runner_.commands.back();
  EXPECT_EQ((std::vector<std::string>{"pkexec", "apt-get", "install", "-y", command.back()}),
            command);
  EXPECT_EQ(package, runner_.handedOver) << "the installer got exactly the signed bytes";
  EXPECT_EQ(std::vector<fs::path>{}, downloads());

  // Without pkexec the command is shown, and only the latest package kept where no other user
  // can swap it.
  runner_.hasPkexec = false;
  install({u, n, s}, k);
  const std::string byHand = install({u, n, s}, k);
  const auto kept = downloads();
  ASSERT_EQ(1u, kept.size());
  EXPECT_EQ(fs::perms::owner_all, fs::status(kept[0].parent_path()).permissions());
  EXPECT_EQ("by hand: sudo apt-get install -y '" + kept[0].string() + "'", byHand);
}

TEST(SubprocessRunnerTest, ReportsEachCommandsExitStatusLaterAndNothingOnceGone) {
  auto runner = std::make_unique<SubprocessRunner>();
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"sh", "-c", "echo printed; echo complained >&2; exit 3"}, 3},
      {{"sh", "-c", "kill -TERM $$"}, -1},
      {{"no-such-program-nubrel"}, -1},
  };
  for (const auto& [argv, expected] : cases) {
    std::optional<int> status;
    runner->run(argv, [&](int s) { status = s; });
    EXPECT_FALSE(status) << "reported from inside run";
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return status.has_value(); })) << argv.back();
    EXPECT_EQ(expected, status) << argv.back();
  }
  int calls = 0;  // none once the runner is gone
  runner->run({"no-such-program-nubrel"}, [&](int) { ++calls; });
  runner.reset();
  testing::drainMainLoop();
  EXPECT_EQ(0, calls);
}

}  // namespace
}  // namespace nubrel
