// Reading appcasts: where an item's version and package come from, which items count, which
// documents fail, how versions are ordered, which item is the newest, and which of the addresses a
// feed gives are fetched or handed to the browser.
#include "updater/Appcast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"
#include "updater/EdSignature.h"
#include "updater/FeedURLRules.h"
#include "updater/VersionComparator.h"

namespace nubrel {
namespace {

using enum FeedURLVerdict;

std::string feed(const std::string& items, const std::string& ns = kSparkleNamespace) {
  return "<rss xmlns:sparkle=\"" + ns + "\"><channel><title>N</title>" + items + "</channel></rss>";
}

// An item with a link, of that version unless it is empty, and extra elements.
std::string item(const std::string& version, const std::string& extra = "") {
  const std::string element = "<sparkle:version>" + version + "</sparkle:version>";
  return "<item>" + (version.empty() ? "" : element) + "<link>x</link>" + extra + "</item>";
}

std::string enclosure(const std::string& attributes) {
  return "<enclosure url=\"https://n.app/" + attributes + "/>";
}

// "version/display version [length signature]" of each item, or "<fails>".
std::string read(const std::string& text) {
  const auto items = parseAppcast(text);
  std::string shown = items ? "" : "<fails>";
  for (const auto& i : items.value_or(std::vector<AppcastItem>{})) {
    shown += (shown.empty() ? "" : " ") + i.version + "/" + i.displayVersionString;
    if (const auto& e = i.enclosure) {
      shown += " [" + (e->length ? std::to_string(*e->length) : "-") + " " +
               e->edSignature.value_or("-") + "]";
    }
  }
  return shown;
}

TEST(AppcastTest, ItemsTheirVersionsAndPackagesAndFeedsThatFail) {
  const std::pair<std::string, const char*> cases[] = {
      {feed(item("1", enclosure("a\" sparkle:version=\"2\" sparkle:shortVersionString=\"Two\"")) +
            item("7", "<sparkle:shortVersionString>1.7</sparkle:shortVersionString>") +
            item("", enclosure("d/N_1.3.4.zip\"")) + item("\n <![CDATA[1.6]]>\n") +
            "<item><sparkle:version xml:lang=\"de\">9</sparkle:version>" + item("3").substr(6)),
       "2/Two [- -] 7/1.7 1.3.4/1.3.4 [- -] 1.6/1.6 3/3"},
      // Only a plain decimal number is a length; attribute texts are trimmed like any other.
      {feed(item("1", enclosure("\" length=\"1623481\" sparkle:edSignature=\"c2ln\"")) +
            item("2", enclosure("\" length=\"18446744073709551615\" edSignature=\"c2ln\"")) +
            item("3", enclosure("\" length=\"18446744073709551616\" sparkle:edSignature=\"\"")) +
            item("4", enclosure("\" length=\" 12\"")) + item("5", enclosure("\" length=\"-1\"")) +
            item("6", enclosure("\" length=\"12kB\""))),
       "1/1 [1623481 c2ln] 2/2 [18446744073709551615 -] 3/3 [- -] 4/4 [12 -] 5/5 [- -] 6/6 [- -]"},
      // Items for other systems and channels are left out; an invalid channel is the default.
      {feed(item("1", enclosure("\" sparkle:os=\"macos\"")) +
            item("2", enclosure("\" sparkle:os=\"linux\"")) +
            item("3", "<sparkle:channel>beta</sparkle:channel>") +
            item("4", "<sparkle:channel>not valid!</sparkle:channel>")),
       "2/2 [- -] 4/4"},
      {"<rss xmlns:u=\"" + std::string(kSparkleNamespace) +
           "\"><channel><item><u:version>2</u:version><link>x</link></item></channel></rss>",
       "2/2"},
      {feed(""), ""},
      {feed(item("", enclosure("d/N.zip\""))), "<fails>"},
      {feed(item("", enclosure("a_b/N.zip\""))), "<fails>"},
      {feed("<item><sparkle:version>1</sparkle:version></item>"), "<fails>"},
      {feed(item("1", "<enclosure/>")), "<fails>"},
      {feed(item("", "<sparkle:deltas><sparkle:version>4</sparkle:version></sparkle:deltas>")),
       "<fails>"},
      {feed(item("2"), "http://example.com/other"), "<fails>"},
      {feed(item("1") + "<item/>"), "<fails>"},
      {feed("<item><sparkle:version>1</item>"), "<fails>"},
      {feed("<item><link>\xff\xfe</link></item>"), "<fails>"},
  };
  ::testing::internal::CaptureStderr();
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, read(text)) << text;
  }
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr()) << "nothing is printed";
}

TEST(AppcastTest, EntitiesAreNeitherLoadedNorExpanded) {
  // A billion laughs (10^10 copies of "lol") and an external entity naming a local file.
  std::string doctype = "<!DOCTYPE rss [<!ENTITY a0 \"lol\">";
  for (int i = 1; i <= 10; ++i) {
    std::string refs;
    for (int j = 0; j < 10; ++j) {
      refs += "&a" + std::to_string(i - 1) + ";";
    }
    doctype += "<!ENTITY a" + std::to_string(i) + " \"" + refs + "\">";
  }
  const std::string laughs = read(doctype + "]>" + feed(item("1&a10;")));
  EXPECT_TRUE(laughs == "<fails>" || laughs == "1/1") << laughs.substr(0, 40);
  const auto items = parseAppcast(
      "<!DOCTYPE rss [<!ENTITY file SYSTEM \"file:///etc/hostname\">]>" +
      feed("<item><sparkle:version>1</sparkle:version><link>&file;https://n.app/</link></item>"));
  ASSERT_TRUE(items && items->size() == 1);
  EXPECT_EQ("https://n.app/", items->front().link);
}

TEST(VersionComparatorTest, OrdersVersionsAsTheFrameworkDoes) {
  // "a <op> b": the framework's examples, then what its rules imply.
  std::istringstream rows(
      "1.0 < 1.1; 1.1 < 2.0; 0.0.1 < 0.1; 1.0 = 1.0.0; 1.5.5 < 1.5.6a1; 1.0a1 < 1.0b1; "
      "1.0b1 < 1.0; 1.1.0b1 < 1.1.0b2; 1.1.1b2 < 1.1.2a1; 0.9 < 1.0a1; 1.0b < 1.0b2; "
      "1.0b9 < 1.0b10; 1.0pre1 < 1.0; 1.0pre1 = 1.0.0pre1; 1.0 (1234) < 1.0 (1235); "
      "1.0b1 (1234) < 1.0 (1234); 3.3 (5847) < 3.3.1b1 (5902); 2.0.0.2429 < 2.0.0.2430; "
      "1.1.1.1818 = 1.1.1.1818.0; 1.5.5-335d3e2 < 1.5.6-b252311; 1.5.5-335d3e2 = 1.5.5-a655360; "
      "201210251627 < 201211051041; 2.0-beta = 2.0; 1.0 beta > 1.0; 1.0RC1 < 1.0b1; "
      "1.0a < 1.0 (1); 1.0rc < 1.0; 0.1 < 0.1.2");
  // Beyond 64 bits numbers still compare by value; texts a hostile feed may send are versions too.
  std::vector<std::array<std::string, 3>> pairs = {
      {"99999999999999999999998", "<", "99999999999999999999999"},
      {std::string(50000, '.') + "1", "<", "1"},
      {"1" + std::string(200000, '('), ">", std::string(200000, '.')}};
  for (std::string row; std::getline(rows >> std::ws, row, ';');) {
    const std::size_t at = std::min({row.find(" < "), row.find(" = "), row.find(" > ")});
    pairs.push_back({row.substr(0, at), row.substr(at + 1, 1), row.substr(at + 3)});
  }
  const auto shown = [](std::strong_ordering o) { return o < 0 ? "<" : o > 0 ? ">" : "="; };
  for (const auto& [a, order, b] : pairs) {
    const std::string reversed = order == "<" ? ">" : order == ">" ? "<" : "=";
    EXPECT_EQ(order, shown(compareVersions(a, b))) << a.substr(0, 20) << " vs " << b.substr(0, 20);
    EXPECT_EQ(reversed, shown(compareVersions(b, a)))
        << b.substr(0, 20) << " vs " << a.substr(0, 20);
  }
}

TEST(AppcastTest, NewestItemIsTheHighestVersionAndTheEarlierOfEquals) {
  const std::vector<AppcastItem> items = {
      {.version = "1.0"}, {.version = "1.10"}, {.version = "1.9"}, {.version = "1.10.0"}};
  EXPECT_EQ(&items[1], newestItem(items));
  EXPECT_EQ(nullptr, newestItem({}));
}

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

// What the release script prints is an enclosure this program reads and whose signature it accepts.
TEST(AppcastTest, SignUpdateScriptWritesAnEnclosureTheUpdaterAccepts) {
  testing::TempDir dir;
  const std::string root = dir.path().string(),
                    script = NUBREL_SOURCE_DIR "/scripts/sign-update.sh";
  const auto run = [](const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) {
      output += static_cast<char>(c);
    }
    EXPECT_EQ(0, pipe ? ::pclose(pipe) : -1) << command;
    return output.substr(0, output.find_last_not_of('\n') + 1);
  };
  dir.write("package/DEBIAN/control",
            "Package: nubrel\nVersion: 1.3.0\nArchitecture: all\n"
            "Maintainer: N <n@n.app>\nDescription: test\n");
  run("cd '" + root +
      "' && openssl genpkey -algorithm ed25519 -out key.pem && "
      "dpkg-deb --root-owner-group -Zgzip --build package n.deb >/dev/null");
  const std::string publicKey = run(script + " --public-key '" + root + "/key.pem'");
  const std::string attributes =
      run(script + " '" + root + "/key.pem' '" + root + "/n.deb' 'https://n.app/dl/a&b.deb'");
  const auto items = parseAppcast(feed("<item><enclosure " + attributes + "/></item>"));
  ASSERT_TRUE(items && items->size() == 1 && items->front().enclosure) << attributes;
  const Enclosure& enclosure = *items->front().enclosure;
  std::ifstream file(dir.path() / "n.deb", std::ios::binary);
  const std::string package{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ("https://n.app/dl/a&b.deb 1.3.0", enclosure.url + " " + items->front().version);
  EXPECT_EQ(package.size(), enclosure.length);
  EXPECT_EQ(SignatureVerdict::valid, verifyEdSignature(package, publicKey, enclosure.edSignature));
}

}  // namespace
}  // namespace nubrel
