#include "pricing/PriceCatalog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/TempDir.h"

namespace nubrel::testing {
namespace {

constexpr const char* kBuiltIn = R"({"models": {
    "gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30},
    "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})";

class PriceCatalogTest : public ::testing::Test {
 protected:
  std::int64_t inputPrice(std::string_view model) const {
    return catalog_.load().find(model).price->base.input;
  }

  TempDir dir_;
  PriceCatalog catalog_{dir_.path() / "share/prices.json", dir_.path() / "config/prices.json"};
};

TEST_F(PriceCatalogTest, TheUsersListReplacesAndAddsEntriesAndIsReadAtEachLoad) {
  dir_.write("share/prices.json", kBuiltIn);
  EXPECT_EQ(5'000'000, inputPrice("gpt-5.5"));
  dir_.write("config/prices.json", R"({"models": {
      "gpt-5.5": {"input": 4, "cachedInput": 0.4, "output": 20},
      "my-model": {"input": 0.5, "cachedInput": 0.05, "output": 1}}})");
  EXPECT_EQ(4'000'000, inputPrice("gpt-5.5"));
  EXPECT_EQ(500'000, inputPrice("my-model"));
  EXPECT_EQ(250'000, inputPrice("gpt-5.1-codex-mini"));
}

TEST_F(PriceCatalogTest, ADamagedOrMissingListIsIgnoredWhole) {
  dir_.write("share/prices.json", kBuiltIn);
  // Valid but for its last entry: none of it counts.
  dir_.write("config/prices.json", R"({"models": {
      "gpt-5.5": {"input": 4, "cachedInput": 0.4, "output": 20},
      "broken": {"input": 4, "cachedInput": 0.4}}})");
  EXPECT_EQ(5'000'000, inputPrice("gpt-5.5"));
  EXPECT_TRUE(catalog_.load().find("broken").fallback);

  std::filesystem::remove(dir_.path() / "share/prices.json");
  std::filesystem::remove(dir_.path() / "config/prices.json");
  EXPECT_TRUE(catalog_.load().entries().empty());
  EXPECT_EQ(1'250'000, inputPrice("gpt-5.5")) << "without any list, the fallback";
}

TEST_F(PriceCatalogTest, AFifoOrAHugeFileIsNotRead) {
  dir_.write("share/prices.json", kBuiltIn);
  std::filesystem::create_directories(dir_.path() / "config");
  ASSERT_EQ(0, ::mkfifo((dir_.path() / "config/prices.json").c_str(), 0600));
  EXPECT_EQ(5'000'000, inputPrice("gpt-5.5")) << "returns at once, the FIFO unopened";

  std::filesystem::remove(dir_.path() / "config/prices.json");
  std::string huge = R"({"models": {"gpt-5.5": {"input": 4, "cachedInput": 0.4, "output": 20}}})";
  huge.append(std::size_t{1} << 20, ' ');
  dir_.write("config/prices.json", huge);
  EXPECT_EQ(5'000'000, inputPrice("gpt-5.5"));
}

TEST_F(PriceCatalogTest, TheInstalledListsAreBesideTheProgramAndInTheConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  const PriceCatalog installed = PriceCatalog::installed();
  ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  const PriceCatalog relative = PriceCatalog::installed();
  saved ? ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");

  EXPECT_EQ("/cfg/nubrel/prices.json", installed.userOverride());
  EXPECT_NE("relative/is/ignored/nubrel/prices.json", relative.userOverride().string());
  EXPECT_TRUE(installed.builtIn().string().ends_with("/../share/nubrel/prices.json"));
}

}  // namespace
}  // namespace nubrel::testing
