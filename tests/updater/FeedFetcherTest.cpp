// Which addresses the updater fetches and hands to the browser, and fetches from a real HTTP
// server on 127.0.0.1 with a clear result for every way it can answer or fail to.
#include "updater/FeedFetcher.h"

#include <gtest/gtest.h>

#include "updater/FeedServer.h"
#include "updater/FeedURLRules.h"
#include "updater/MainLoop.h"
#include "updater/UpdaterHarness.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
using enum FeedURLVerdict;

TEST(FeedURLRulesTest, FeedsComeOverHTTPSOrFromThisMachineAndOnlyWebPagesGoToTheBrowser) {
  const std::string longest = "https://n.app/" + std::string(kMaxWebPageURLLength - 14, 'a');
  const std::tuple<std::string, FeedURLVerdict, std::optional<std::string>> cases[] = {
      // url, as a feed, as a page ("=": as it is)
      {"https://n.app/cast.xml", allowed, "="},
      {"HTTPS://n.app/a", allowed, "https://n.app/a"},
      {"http://127.8.9.10:8080/a", allowed, "="},
      {"http://[::1]:80/a", allowed, "http://[::1]/a"},
      {"http://LocalHost/a", allowed, "="},
      {"http://n.app/a", insecure, "="},
      {"http://127.0.0.1.nip.io/", insecure, "="},
      {"http://127.1/", insecure, "="},
      {"http://127.0.0.1@evil.example/", insecure, "="},
      {"http://[::ffff:127.0.0.1]/", insecure, "="},
      {"http://0.0.0.0/", insecure, "="},
      {"http://n.app/a b", invalid, "http://n.app/a%20b"},
      {"https://n.app/\n", invalid, std::nullopt},
      {"file:///etc/passwd", invalid, std::nullopt},
      {"javascript:alert(1)", invalid, std::nullopt},
      {"n.app/cast.xml", invalid, std::nullopt},
      {"https://", invalid, std::nullopt},
      {longest, allowed, "="},
      {longest + "a", allowed, std::nullopt},
      {"https://n.app/ " + longest.substr(15), invalid, std::nullopt},  // too long once escaped
  };
  for (const auto& [url, verdict, page] : cases) {
    EXPECT_EQ(verdict, checkFeedURL(url)) << url.substr(0, 40);
    EXPECT_EQ(page == "=" ? url : page, webPageURL(url)) << url.substr(0, 40);
  }
  // A feed fetched over https never goes on over http, not even to this machine.
  EXPECT_EQ(allowed, checkRedirect("https://n.app/a", "https://cdn.n.app/a"));
  EXPECT_EQ(insecure, checkRedirect("https://n.app/a", "http://127.0.0.1:631/"));
  EXPECT_EQ(allowed, checkRedirect("http://127.0.0.1/a", "https://n.app/a"));
  EXPECT_EQ(insecure, checkRedirect("http://127.0.0.1/a", "http://n.app/a"));
}

TEST(FeedFetcherTest, EachAnswerHasItsResult) {
  constexpr std::size_t kLimit = 64 * 1024;
  testing::FeedServer server;
  server.serve("/feed", "<rss/>");
  server.serve("/exact", std::string(kLimit, 'x'));
  server.serve("/over", std::string(kLimit + 1, 'x'));
  server.serveStalled("/unannounced", std::string(kLimit + 1, 'x'));
  server.serveStalled("/stalled");
  server.redirect("/moved", "/feed");
  server.redirect("/away", "http://example.com/feed");
  server.redirect("/ftp", "ftp://127.0.0.1/feed");
  server.redirect("/loop", "/loop");
  // Only the deadline ends a fetch that stalls.
  FeedFetcher fetcher({.maxBodyBytes = kLimit, .totalTimeout = 2s, .ioTimeout = 60s}, "Nubrel/1");
  const std::pair<std::string, const char*> cases[] = {
      {server.url("/feed"), "body 6"},
      {server.url("/exact"), "body 65536"},
      {server.url("/over"), "tooLarge"},
      {server.url("/unannounced"), "tooLarge"},
      {server.url("/missing"), "httpStatus 404"},
      {server.url("/stalled"), "timedOut"},
      {server.url("/moved"), "body 6"},
      {server.url("/away"), "insecureFeedURL"},
      {server.url("/ftp"), "invalidFeedURL"},
      {server.url("/loop"), "unreachable"},
      {testing::FeedServer().url("/"), "unreachable"},  // a port nobody listens on any more
      {"http://example.com/cast.xml", "insecureFeedURL"},
      {"", "invalidFeedURL"},
  };
  for (const auto& [url, expected] : cases) {
    std::optional<FetchResult> result;
    fetcher.fetch(url, [&](FetchResult r) { result = std::move(r); });
    EXPECT_FALSE(result) << "completed from inside fetch";
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return result.has_value(); })) << url;
    const auto* body = std::get_if<std::string>(&*result);
    EXPECT_EQ(expected, body ? "body " + std::to_string(body->size())
                             : testing::describe(std::get<UpdateError>(*result)))
        << url;
  }
  EXPECT_EQ(1 + 5, server.requestCount("/loop")) << "the first request and five redirects";
}

}  // namespace
}  // namespace nubrel
