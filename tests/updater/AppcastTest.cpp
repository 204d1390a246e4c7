// Reading appcasts: where an item's version comes from, which items count, which documents fail,
// and that hostile XML does no harm.
#include "updater/Appcast.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace nubrel {
namespace {

std::string feed(const std::string& items, const std::string& ns = kSparkleNamespace) {
  return "<rss xmlns:sparkle=\"" + ns + "\"><channel><title>N</title>" + items + "</channel></rss>";
}

// An item of that version with a link, and extra elements.
std::string item(const std::string& version, const std::string& extra = "") {
  return "<item><sparkle:version>" + version + "</sparkle:version><link>x</link>" + extra +
         "</item>";
}

// "version/display version" of each item, or "<fails>".
std::string versions(const std::string& text) {
  const auto items = parseAppcast(text);
  std::string shown = items ? "" : "<fails>";
  for (const auto& i : items.value_or(std::vector<AppcastItem>{})) {
    shown += (shown.empty() ? "" : " ") + i.version + "/" + i.displayVersionString;
  }
  return shown;
}

TEST(AppcastTest, ItemsTheirVersionsAndFeedsThatFail) {
  const std::pair<std::string, const char*> cases[] = {
      {feed(item("1",
                 "<enclosure url=\"https://n.app/a.zip\" sparkle:version=\"2\" "
                 "sparkle:shortVersionString=\"Two\"/>")),
       "2/Two"},
      {feed(item("7", "<sparkle:shortVersionString>1.7</sparkle:shortVersionString>")), "7/1.7"},
      {feed("<item><enclosure url=\"https://n.app/d/N_1.3.4.zip\"/></item>"), "1.3.4/1.3.4"},
      {feed(item("\n <![CDATA[1.6]]>\n") + "<item><sparkle:version xml:lang=\"de\">9</sparkle:"
                                           "version><sparkle:version>3</sparkle:version><link>x"
                                           "</link></item>"),
       "1.6/1.6 3/3"},
      // Items for other systems and channels are left out; an invalid channel is the default.
      {feed(item("1") + item("2", "<enclosure url=\"https://n.app/m\" sparkle:os=\"macos\"/>") +
            item("3", "<enclosure url=\"https://n.app/l\" sparkle:os=\"linux\"/>") +
            item("4", "<sparkle:channel>beta</sparkle:channel>") +
            item("5", "<sparkle:channel>not valid!</sparkle:channel>")),
       "1/1 3/3 5/5"},
      {"<rss xmlns:u=\"" + std::string(kSparkleNamespace) +
           "\"><channel><item><u:version>2</u:version><link>x</link></item></channel></rss>",
       "2/2"},
      {feed(""), ""},
  };
  ::testing::internal::CaptureStderr();
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, versions(text)) << text;
  }
  for (const std::string& text :
       {feed("<item><enclosure url=\"https://n.app/d/N.zip\"/></item>"),
        feed("<item><enclosure url=\"https://n.app/a_b/N.zip\"/></item>"),
        feed("<item><sparkle:version>1</sparkle:version></item>"), feed(item("1", "<enclosure/>")),
        feed("<item><sparkle:deltas><sparkle:version>4</sparkle:version></sparkle:deltas><link>x"
             "</link></item>"),
        feed(item("2"), "http://example.com/other"), feed(item("1") + "<item/>"),
        std::string("HTTP/1.1 oops"), feed("<item><sparkle:version>1</item>"),
        std::string("<?xml version=\"1.0\" encoding=\"no-such\"?><rss/>"),
        std::string("<feed><channel/></feed>"),
        std::string("<rss xmlns=\"http://example.com/\"><channel/></rss>"),
        feed("<item><link>\xff\xfe</link></item>")}) {
    EXPECT_EQ("<fails>", versions(text)) << text;
  }
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr()) << "nothing is printed";
}

TEST(AppcastTest, EnclosureKeepsItsLengthOnlyWhenItIsAPlainNumber) {
  const struct {
    std::string attributes;
    std::optional<std::uint64_t> length;
    std::optional<std::string> signature;
  } cases[] = {
      {"length=\"1623481\" sparkle:edSignature=\"c2ln\"", 1623481, "c2ln"},
      {"length=\"18446744073709551615\"", UINT64_MAX, std::nullopt},
      {"length=\"18446744073709551616\"", std::nullopt, std::nullopt},
      {"length=\"-1\" sparkle:edSignature=\"\"", std::nullopt, std::nullopt},
      {"length=\" 12\"", 12, std::nullopt},  // attribute texts are trimmed like any other
      {"length=\"12kB\" edSignature=\"c2ln\"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto items = parseAppcast(feed(item("2", "<enclosure url=\"u\" " + c.attributes + "/>")));
    ASSERT_TRUE(items && items->size() == 1) << c.attributes;
    EXPECT_EQ((Enclosure{"u", c.length, c.signature}), items->front().enclosure) << c.attributes;
  }
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
  const std::string laughs = versions(doctype + "]>" + feed(item("1&a10;")));
  EXPECT_TRUE(laughs == "<fails>" || laughs == "1/1") << laughs.substr(0, 40);
  const auto items = parseAppcast("<!DOCTYPE rss [<!ENTITY f SYSTEM \"file:///etc/hostname\">]>" +
                                  feed("<item><sparkle:version>1</sparkle:version><link>&f;https:"
                                       "//n.app/</link></item>"));
  ASSERT_TRUE(items && items->size() == 1);
  EXPECT_EQ("https://n.app/", items->front().link);
}

TEST(AppcastTest, NewestItemIsTheHighestVersionAndTheEarlierOfEquals) {
  const std::vector<AppcastItem> items = {{.title = "a", .version = "1.0"},
                                          {.title = "b", .version = "1.10"},
                                          {.title = "c", .version = "1.9"},
                                          {.title = "d", .version = "1.10.0"}};
  EXPECT_EQ(&items[1], newestItem(items));
  EXPECT_EQ(nullptr, newestItem({}));
}

}  // namespace
}  // namespace nubrel
