#include "pricing/PriceCatalog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/TempDir.h"

namespace nubrel::testing {
namespace {

// Both lists are read at each load; the user's replaces and adds entries when it is sound, and is
// ignored whole when it has a fault, is huge, or is a FIFO (which must not block the refresh).
TEST(PriceCatalogTest, TheUsersListOverridesTheBuiltInOneWhenItIsSound) {
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

TEST(PriceCatalogTest, TheInstalledListsAreBesideTheProgramAndInTheConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  const PriceCatalog installed = PriceCatalog::installed();
  ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  const PriceCatalog relative = PriceCatalog::installed();
  saved ? ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ("/cfg/nubrel/prices.json", installed.userOverride());
  EXPECT_FALSE(relative.userOverride().string().starts_with("relative"));
  EXPECT_TRUE(installed.builtIn().string().ends_with("/../share/nubrel/prices.json"));
}

}  // namespace
}  // namespace nubrel::testing
