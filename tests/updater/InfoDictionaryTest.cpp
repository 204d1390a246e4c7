// Info.json lookups: the text of an entry as it is, and nothing for anything else.
#include "updater/InfoDictionary.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace nubrel {
namespace {

class InfoDictionaryTest : public ::testing::Test {
 protected:
  std::filesystem::path write(std::string_view json) { return dir_.write("Info.json", json); }
  testing::TempDir dir_;
};

TEST_F(InfoDictionaryTest, OnlyTextEntriesAreAnswered) {
  const auto file = write(R"({"SUFeedURL": "https://example.com/cast.xml", "Empty": "",
                              "Number": 42, "Null": null, "List": ["a"], "Spaced": " a b "})");
  const struct {
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {{"SUFeedURL", "https://example.com/cast.xml"},
               {"Empty", ""},
               {"Spaced", " a b "},
               {"Number", std::nullopt},
               {"Null", std::nullopt},
               {"List", std::nullopt},
               {"Absent", std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, infoDictionaryString(file, c.key)) << c.key;
  }
}

TEST_F(InfoDictionaryTest, UnreadableDictionariesAnswerNothing) {
  const struct {
    const char* label;
    const char* json;
  } cases[] = {{"not JSON", "SUFeedURL=https://x"},
               {"an array", R"(["SUFeedURL", "https://x"])"},
               {"a bare string", R"("https://x")"},
               {"trailing garbage", R"({"SUFeedURL": "https://x"} x)"},
               {"invalid UTF-8", "{\"SUFeedURL\": \"\xff\"}"}};
  for (const auto& c : cases) {
    EXPECT_EQ(std::nullopt, infoDictionaryString(write(c.json), "SUFeedURL")) << c.label;
  }
  EXPECT_EQ(std::nullopt, infoDictionaryString(dir_.path() / "missing.json", "SUFeedURL"));
  EXPECT_EQ(std::nullopt, infoDictionaryString(dir_.path(), "SUFeedURL"));
}

TEST_F(InfoDictionaryTest, BundleInfoFallsBackEntryByEntry) {
  EXPECT_EQ("Nubrel", bundleInfo(dir_.path() / "missing.json").name);
  EXPECT_EQ(NUBREL_VERSION, bundleInfo(dir_.path() / "missing.json").version);

  const auto file = write(R"({"CFBundleName": "", "CFBundleVersion": "7.1"})");
  const BundleInfo info = bundleInfo(file);
  EXPECT_EQ("Nubrel", info.name);
  EXPECT_EQ("7.1", info.version);
  EXPECT_EQ("7.1", info.shortVersion);
  const auto both = write(R"({"CFBundleVersion": "7.1", "CFBundleShortVersionString": "7.1 b"})");
  EXPECT_EQ("7.1 b", bundleInfo(both).shortVersion);
}

}  // namespace
}  // namespace nubrel
