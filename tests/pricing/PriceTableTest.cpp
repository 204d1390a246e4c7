// The price lists: their reading, their sound shape, and which entry a model finds.
#include "pricing/PriceTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "pricing/PriceCatalog.h"
#include "support/TempDir.h"

namespace nubrel::testing {
namespace {

TEST(PriceTableTest, AModelFindsItsExactIdThenItsUndatedIdAndNeverAPrefix) {
  const PriceTable prices = PriceTable::parse(R"({"models": {
      "gpt-5.1-codex": {"input": 1.5, "cachedInput": 0.15, "output": 12},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})")
                                .value();
  EXPECT_EQ(250'000, prices.find("gpt-5.1-codex-mini").price->base.input);
  EXPECT_EQ(1'500'000, prices.find("gpt-5.1-codex-2025-11-13").price->base.input);
  EXPECT_EQ(250'000, prices.find("gpt-5.1-codex-mini-2025-11-13").price->base.input);
  for (const char* model : {"gpt-5.1-codex-max", "gpt-5.1-codex-m", "gpt-5.1-codex-2025-11",
                            "gpt-5.1-codex-20251113", "GPT-5.1-codex", ""}) {
    EXPECT_TRUE(prices.find(model).fallback) << model;
    EXPECT_EQ(PriceTable::kFallback, *prices.find(model).price);
  }
}

TEST(PriceTableTest, AListWithAnyFaultIsRefusedWhole) {
  const std::string entry = R"({"models": {"a": {"input": 1, "cachedInput": 0.1, "output": 2)";
  const std::string damaged[] = {
      "",
      "not json",
      R"({"models": []})",
      R"({"models": {"a": {"input": 1, "cachedInput": 0.1}}})",
      R"({"models": {"a": {"input": "1", "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": -1, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 1e300, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"a": {"input": 0.0000001, "cachedInput": 0.1, "output": 2}}})",
      R"({"models": {"": {"input": 1, "cachedInput": 0.1, "output": 2}}})",
      entry + R"(, "cacheWrite": null}}})",
      entry + R"(, "longContext": {}}}})",
      entry + "}}} trailing"};
  ASSERT_TRUE(PriceTable::parse(entry + "}}}"));
  for (const std::string& json : damaged) {
    EXPECT_FALSE(PriceTable::parse(json)) << json;
  }
  // The shipped list must stay sound: a fault would put every model at the fallback price.
  std::stringstream shipped;
  shipped << std::ifstream(NUBREL_PRICE_LIST).rdbuf();
  EXPECT_EQ(22u, PriceTable::parse(shipped.str()).value().entries().size());
}

// Both lists are read at each load; the user's replaces and adds entries when it is sound, and is
// ignored whole when it has a fault, is huge, or is a FIFO (which must not block the refresh).
TEST(PriceTableTest, TheUsersListOverridesTheBuiltInOneWhenItIsSound) {
  TempDir dir;
  const PriceCatalog catalog{dir.path() / "share/prices.json", dir.path() / "config/prices.json"};
  const auto input = [&](const char* model) {
    return catalog.load().find(model).price->base.input;
  };
  EXPECT_EQ(1'250'000, input("gpt-5.5")) << "without any list, the fallback";
  dir.write("share/prices.json", R"({"models": {
      "gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
  const std::string user = R"({"models": {
      "gpt-5.5": {"input": 4, "cachedInput": 0.4, "output": 20},
      "my-model": {"input": 0.5, "cachedInput": 0.05, "output": 1})";
  dir.write("config/prices.json", user + "}}");
  EXPECT_EQ(4'000'000, input("gpt-5.5"));
  EXPECT_EQ(500'000, input("my-model"));
  EXPECT_EQ(250'000, input("gpt-5.1-codex-mini"));
  for (const std::string& unsound :
       {user + R"(, "broken": {"input": 4}}})", user + "}}" + std::string(1 << 20, ' ')}) {
    dir.write("config/prices.json", unsound);
    EXPECT_EQ(5'000'000, input("gpt-5.5"));
  }
  std::filesystem::remove(dir.path() / "config/prices.json");
  ASSERT_EQ(0, ::mkfifo((dir.path() / "config/prices.json").c_str(), 0600));
  EXPECT_EQ(5'000'000, input("gpt-5.5"));
}

}  // namespace
}  // namespace nubrel::testing
