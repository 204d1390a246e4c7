// Fetching feeds from a real HTTP server on 127.0.0.1: which addresses are fetched, and a clear
// result for every way a server can answer or fail to.
#include "updater/FeedFetcher.h"

#include <gtest/gtest.h>

#include <optional>

#include "updater/FeedServer.h"
#include "updater/FeedURLRules.h"
#include "updater/MainLoop.h"
#include "updater/UpdaterTestText.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
using testing::describe;

TEST(FeedURLRulesTest, FeedsAreFetchedOverHTTPSOrFromThisMachine) {
  const struct {
    const char* url;
    FeedURLVerdict verdict;
  } cases[] = {
      {"https://nubrel.app/appcast.xml", FeedURLVerdict::allowed},
      {"HTTPS://nubrel.app/a", FeedURLVerdict::allowed},
      {"http://127.0.0.1:8080/a", FeedURLVerdict::allowed},
      {"http://127.8.9.10/a", FeedURLVerdict::allowed},
      {"http://[::1]:80/a", FeedURLVerdict::allowed},
      {"http://LocalHost/a", FeedURLVerdict::allowed},
      {"http://nubrel.app/a", FeedURLVerdict::insecure},
      {"http://127.0.0.1.nip.io/", FeedURLVerdict::insecure},
      {"http://127.1/", FeedURLVerdict::insecure},
      {"http://127.0.0.1@evil.example/", FeedURLVerdict::insecure},
      {"http://[::ffff:127.0.0.1]/", FeedURLVerdict::insecure},
      {"http://0.0.0.0/", FeedURLVerdict::insecure},
      {"ftp://nubrel.app/a", FeedURLVerdict::invalid},
      {"file:///etc/passwd", FeedURLVerdict::invalid},
      {"nubrel.app/appcast.xml", FeedURLVerdict::invalid},
      {"https://", FeedURLVerdict::invalid},
      {"https://exa mple.com/", FeedURLVerdict::invalid},
      {"", FeedURLVerdict::invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.verdict, checkFeedURL(c.url)) << c.url;
  }
}

TEST(FeedURLRulesTest, RedirectsNeverLeaveHTTPS) {
  const struct {
    const char* from;
    const char* to;
    FeedURLVerdict verdict;
  } cases[] = {
      {"https://nubrel.app/a", "https://cdn.nubrel.app/a", FeedURLVerdict::allowed},
      {"https://nubrel.app/a", "http://127.0.0.1:631/", FeedURLVerdict::insecure},
      {"http://127.0.0.1/a", "http://localhost/b", FeedURLVerdict::allowed},
      {"http://127.0.0.1/a", "https://nubrel.app/a", FeedURLVerdict::allowed},
      {"http://127.0.0.1/a", "http://nubrel.app/a", FeedURLVerdict::insecure},
      {"https://nubrel.app/a", "file:///etc/passwd", FeedURLVerdict::invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.verdict, checkRedirect(c.from, c.to)) << c.from << " -> " << c.to;
  }
}

TEST(FeedURLRulesTest, OnlyWebPagesAreHandedToTheBrowser) {
  const struct {
    std::string url;
    std::optional<std::string> page;
  } cases[] = {
      {"https://nubrel.app/notes", "https://nubrel.app/notes"},
      {"http://nubrel.app/a b", "http://nubrel.app/a%20b"},
      {"javascript:alert(1)", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"data:text/html,hi", std::nullopt},
      {"mailto:a@b.c", std::nullopt},
      {"https://", std::nullopt},
      {"https://nubrel.app/\n", std::nullopt},
      {"https://nubrel.app/" + std::string(3000, 'a'), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.page, webPageURL(c.url)) << c.url.substr(0, 40);
  }
}

class FeedFetcherTest : public ::testing::Test {
 protected:
  FetchResult fetch(const std::string& url) {
    std::optional<FetchResult> result;
    fetcher_->fetch(url, [&](FetchResult r) { result = std::move(r); });
    EXPECT_FALSE(result) << "completed from inside fetch";
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return result.has_value(); })) << url;
    return result.value_or(FetchResult{"no result"});
  }
  void TearDown() override {
    fetcher_.reset();
    testing::drainMainLoop();
  }

  static constexpr std::size_t kLimit = 64 * 1024;
  testing::FeedServer server_;
  std::unique_ptr<FeedFetcher> fetcher_ = std::make_unique<FeedFetcher>(
      FetchLimits{.maxBodyBytes = kLimit, .totalTimeout = 5s, .ioTimeout = 1s}, "Nubrel/1");
};

// How each server failure reaches the user is in StandardUpdaterTest; here are the limits and
// the redirects.
TEST_F(FeedFetcherTest, BodiesWithinTheLimitAndAllowedRedirectsAreFetched) {
  server_.serve("/feed", "<rss/>");
  server_.serve("/exact", std::string(kLimit, 'x'));
  server_.serve("/over", std::string(kLimit + 1, 'x'));
  server_.redirect("/moved", "/feed");
  server_.redirect("/away", "http://example.com/feed");
  server_.redirect("/ftp", "ftp://127.0.0.1/feed");
  server_.redirect("/loop", "/loop");
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/feed", "body 6 bytes"},  {"/exact", "body 65536 bytes"}, {"/over", "tooLarge"},
      {"/moved", "body 6 bytes"}, {"/away", "insecureFeedURL"},   {"/ftp", "invalidFeedURL"},
      {"/loop", "unreachable"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, describe(fetch(server_.url(c.path)))) << c.path;
  }
  EXPECT_EQ(1 + 5, server_.requestCount("/loop")) << "the first request and five redirects";
  EXPECT_EQ("application/rss+xml,*/*;q=0.1", server_.lastAcceptHeader());
}

TEST_F(FeedFetcherTest, TotalTimeLimitEndsAFetchThatKeepsTheConnectionAlive) {
  server_.serveStalled("/stalled");
  fetcher_ = std::make_unique<FeedFetcher>(FetchLimits{.totalTimeout = 300ms, .ioTimeout = 60s},
                                           "Nubrel/1");
  EXPECT_EQ("timedOut", describe(fetch(server_.url("/stalled"))));
}

TEST_F(FeedFetcherTest, CancelledOrDestroyedFetchesNeverComplete) {
  server_.serveStalled("/stalled");
  server_.serveEndless("/endless");
  int completions = 0;
  fetcher_->fetch(server_.url("/stalled"), [&](FetchResult) { ++completions; });
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 1; }));
  fetcher_->cancel();
  EXPECT_FALSE(fetcher_->isFetching());

  fetcher_->fetch(server_.url("/endless"), [&](FetchResult) { ++completions; });
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/endless") == 1; }));
  fetcher_.reset();
  testing::drainMainLoop();
  EXPECT_EQ(0, completions);
}

}  // namespace
}  // namespace nubrel
