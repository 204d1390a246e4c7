// Reading appcasts: where an item's version comes from, which items count, which feeds fail, and
// that hostile XML does no harm.
#include "updater/Appcast.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace nubrel {
namespace {

std::string feed(const std::string& items, const std::string& prefix = "sparkle",
                 const std::string& uri = kSparkleNamespace) {
  return "<rss version=\"2.0\" xmlns:" + prefix + "=\"" + uri +
         "\"><channel><title>Nubrel</title>" + items + "</channel></rss>";
}

// "version/display version" of each item, or "<fails>".
std::string versions(const std::string& text) {
  const auto items = parseAppcast(text);
  std::string shown = items ? "" : "<fails>";
  for (const auto& item : items.value_or(std::vector<AppcastItem>{})) {
    shown += (shown.empty() ? "" : " ") + item.version + "/" + item.displayVersionString;
  }
  return shown;
}

TEST(AppcastTest, ItemVersionsComeFromEnclosureThenElementThenFileName) {
  const struct {
    const char* label;
    std::string item;
    const char* expected;
  } cases[] = {
      {"element", "<sparkle:version>1.2</sparkle:version><link>x</link>", "1.2/1.2"},
      {"enclosure attributes win",
       "<sparkle:version>1.0</sparkle:version><enclosure url=\"https://n.app/a.zip\" "
       "sparkle:version=\"2.0\" sparkle:shortVersionString=\"Two\"/>",
       "2.0/Two"},
      {"short version element",
       "<sparkle:version>7</sparkle:version><sparkle:shortVersionString>1.7"
       "</sparkle:shortVersionString><link>x</link>",
       "7/1.7"},
      {"file name", "<enclosure url=\"https://n.app/dl/Nubrel_1.3.4.zip\"/>", "1.3.4/1.3.4"},
      {"spaces and CDATA", "<sparkle:version>\n <![CDATA[1.6]]>\n</sparkle:version><link>x</link>",
       "1.6/1.6"},
      {"unlocalised element chosen",
       "<sparkle:version xml:lang=\"de\">9</sparkle:version><sparkle:version>3</sparkle:version>"
       "<link>x</link>",
       "3/3"},
      {"no version", "<enclosure url=\"https://n.app/dl/Nubrel.zip\"/>", "<fails>"},
      {"'_' in a directory only", "<enclosure url=\"https://n.app/a_b/Nubrel.zip\"/>", "<fails>"},
      {"neither link nor enclosure", "<sparkle:version>1</sparkle:version>", "<fails>"},
      {"enclosure without url", "<sparkle:version>1</sparkle:version><enclosure/><link>x</link>",
       "<fails>"},
      {"only first-level children count",
       "<sparkle:deltas><sparkle:version>4</sparkle:version></sparkle:deltas><link>x</link>",
       "<fails>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, versions(feed("<item>" + c.item + "</item>"))) << c.label;
  }
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
      {"length=\"12kB\"", std::nullopt, std::nullopt},
      {"length=\"0x10\" edSignature=\"c2ln\"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto items =
        parseAppcast(feed("<item><sparkle:version>2</sparkle:version><enclosure "
                          "url=\"https://n.app/nubrel_2_amd64.deb\" " +
                          c.attributes + "/></item>"));
    ASSERT_TRUE(items && items->size() == 1 && items->front().enclosure) << c.attributes;
    EXPECT_EQ((Enclosure{"https://n.app/nubrel_2_amd64.deb", c.length, c.signature}),
              items->front().enclosure)
        << c.attributes;
  }
}

TEST(AppcastTest, OnlyItemsForThisSystemAndTheDefaultChannelCount) {
  const auto item = [](const std::string& version, const std::string& extra) {
    return "<item><sparkle:version>" + version + "</sparkle:version><link>x</link>" + extra +
           "</item>";
  };
  EXPECT_EQ("1/1 3/3 5/5 6/6",
            versions(feed(item("1", "") +
                          item("2", "<enclosure url=\"https://n.app/m\" sparkle:os=\"macos\"/>") +
                          item("3", "<enclosure url=\"https://n.app/l\" sparkle:os=\"linux\"/>") +
                          item("4", "<sparkle:channel>beta</sparkle:channel>") +
                          item("5", "<sparkle:channel>not valid!</sparkle:channel>") +
                          item("6", "<sparkle:channel></sparkle:channel>"))));
}

TEST(AppcastTest, DocumentsThatAreNotAppcastsFail) {
  const struct {
    const char* label;
    std::string text;
    const char* expected;
  } cases[] = {
      {"namespace by URI, any prefix",
       feed("<item><u:version>2</u:version><link>x</link></item>", "u"), "2/2"},
      {"other namespace URI",
       feed("<item><sparkle:version>2</sparkle:version><link>x</link>"
            "</item>",
            "sparkle", "http://example.com/other"),
       "<fails>"},
      {"no items", feed(""), ""},
      {"empty", "", "<fails>"},
      {"not XML", "HTTP/1.1 oops", "<fails>"},
      {"unclosed element", feed("<item><sparkle:version>1</item>"), "<fails>"},
      {"another root", "<feed><channel/></feed>", "<fails>"},
      {"rss in a namespace", "<rss xmlns=\"http://example.com/\"><channel/></rss>", "<fails>"},
      {"invalid UTF-8", feed("<item><link>\xff\xfe</link></item>"), "<fails>"},
      {"one bad item among good ones",
       feed("<item><sparkle:version>1</sparkle:version><link>x</link></item><item/>"), "<fails>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, versions(c.text)) << c.label;
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
  const std::string laughs =
      versions(doctype + "]>" +
               feed("<item><sparkle:version>1&a10;</sparkle:version><link>x</link></item>"));
  EXPECT_TRUE(laughs == "<fails>" || laughs == "1/1") << laughs.substr(0, 40);

  const auto items = parseAppcast(
      "<!DOCTYPE rss [<!ENTITY file SYSTEM \"file:///etc/hostname\">]>" +
      feed("<item><sparkle:version>1</sparkle:version><link>&file;https://n.app/</link></item>"));
  ASSERT_TRUE(items && items->size() == 1);
  EXPECT_EQ("https://n.app/", items->front().link);
}

TEST(AppcastTest, MalformedFeedsPrintNothing) {
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(parseAppcast("<rss><channel><item></channel>"));
  EXPECT_FALSE(parseAppcast("<?xml version=\"1.0\" encoding=\"no-such\"?><rss/>"));
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

TEST(AppcastTest, NewestItemIsTheHighestVersionAndTheEarlierOfEquals) {
  const std::vector<AppcastItem> items = {{.title = "a", .version = "1.0"},
                                          {.title = "b", .version = "1.10"},
                                          {.title = "c", .version = "1.9"},
                                          {.title = "d", .version = "1.10.0"}};
  ASSERT_NE(nullptr, newestItem(items));
  EXPECT_EQ("b", newestItem(items)->title);
  EXPECT_EQ(nullptr, newestItem({}));
}

}  // namespace
}  // namespace nubrel
