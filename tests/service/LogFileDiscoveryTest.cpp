// Which files a day's query reads.
#include <gtest/gtest.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

class LogFileDiscoveryTest : public ServiceFixture {
 protected:
  void touch(const std::string& relative) { fs_.addFile(file(relative), ""); }

  std::vector<std::string> collect(const CacheKey& day) {
    std::vector<std::string> relative;
    for (const auto& path : service_.collectLogFiles(day)) {
      relative.push_back(path.lexically_relative(kSessions).string());
    }
    return relative;
  }
};

TEST_F(LogFileDiscoveryTest, TakesTheWholeMonthSortedByPath) {
  touch("2025/03/07/b.jsonl");
  touch("2025/03/07/deeper/c.jsonl");
  touch("2025/03/06/a.jsonl");
  touch("2025/03/09/later.jsonl");
  touch("2025/03/loose.jsonl");
  touch("2025/02/28/previous-month.jsonl");
  EXPECT_EQ((std::vector<std::string>{"2025/03/06/a.jsonl", "2025/03/07/b.jsonl",
                                      "2025/03/07/deeper/c.jsonl", "2025/03/09/later.jsonl",
                                      "2025/03/loose.jsonl"}),
            collect({2025, 3, 7}));
}

TEST_F(LogFileDiscoveryTest, SkipsOtherExtensionsAndHiddenEntries) {
  touch("2025/03/07/upper.JSONL");
  touch("2025/03/07/other.json");
  touch("2025/03/07/jsonl");
  touch("2025/03/07/.hidden.jsonl");
  touch("2025/03/07/.cache/inside.jsonl");
  touch("2025/03/07/kept.jsonl");
  EXPECT_EQ(std::vector<std::string>{"2025/03/07/kept.jsonl"}, collect({2025, 3, 7}));
}

TEST_F(LogFileDiscoveryTest, FallsBackToTheWholeTreeOnlyWhenTheMonthHasNoLogs) {
  touch("2025/02/28/late.jsonl");
  touch("2024/12/31/old.jsonl");
  touch("2025/03/notes.txt");
  EXPECT_EQ((std::vector<std::string>{"2024/12/31/old.jsonl", "2025/02/28/late.jsonl"}),
            collect({2025, 3, 1}));

  touch("2025/03/01/first.jsonl");
  EXPECT_EQ(std::vector<std::string>{"2025/03/01/first.jsonl"}, collect({2025, 3, 1}));
}

TEST_F(LogFileDiscoveryTest, PadsMonthAndDayButNotTheYear) {
  touch("2025/03/07/a.jsonl");
  EXPECT_EQ(kSessions / "2025/03/07", service_.dayDirectory({2025, 3, 7}));
  EXPECT_EQ(kSessions / "2025/03", service_.monthDirectory({2025, 3, 31}));
  EXPECT_EQ(std::nullopt, service_.dayDirectory({2025, 3, 8}));
}

TEST_F(LogFileDiscoveryTest, NoLogsAnywhereGivesNothing) {
  fs_.addDirectory(kSessions);
  EXPECT_TRUE(collect({2025, 3, 7}).empty());
}

}  // namespace
}  // namespace nubrel::testing
