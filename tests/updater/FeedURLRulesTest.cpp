// Which addresses the updater fetches and which it hands to the browser.
#include "updater/FeedURLRules.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace nubrel {
namespace {

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

}  // namespace
}  // namespace nubrel
