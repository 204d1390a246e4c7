// The generated session trees: their shape, their determinism, and the usage service's day and
// month totals over them against the sums the generator drew.
#include "bench/SessionTreeGenerator.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/TempDir.h"

namespace nubrel::bench {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::sys_days;
using namespace std::chrono_literals;

std::string readFile(const std::filesystem::path& path) {
  std::ostringstream contents;
  contents << std::ifstream(path, std::ios::binary).rdbuf();
  return contents.str();
}

// Every log file below root, by path relative to root, with its bytes.
std::map<std::string, std::string> treeContents(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sessionsPath(root))) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(root).string()] = readFile(entry.path());
    }
  }
  return files;
}

// True when `path` is sessions/YYYY/MM/DD/rollout-YYYY-MM-DDThh-mm-ss-<uuid v7>.jsonl with the
// same date in the directories and in the name. (std::regex trips GCC 12's warnings under ASan.)
bool hasTheAgentsLayout(const std::string& path) {
  const std::string pattern =
      "sessions/dddd/dd/dd/rollout-dddd-dd-ddTdd-dd-dd-xxxxxxxx-xxxx-7xxx-xxxx-xxxxxxxxxxxx.jsonl";
  if (path.size() != pattern.size()) {
    return false;
  }
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    const bool fits = pattern[i] == 'd'   ? std::isdigit(static_cast<unsigned char>(c)) != 0
                      : pattern[i] == 'x' ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                          : c == pattern[i];
    if (!fits) {
      return false;
    }
  }
  return path.substr(9, 4) + path.substr(14, 2) + path.substr(17, 2) ==
         path.substr(28, 4) + path.substr(33, 2) + path.substr(36, 2);
}

// The day of "yyyy-MM-dd…" text.
sys_days dayOf(std::string_view text) {
  const auto number = [&](std::size_t pos, std::size_t count) {
    return std::stoi(std::string(text.substr(pos, count)));
  };
  return sys_days(std::chrono::year(number(0, 4)) / number(5, 2) / number(8, 2));
}

Instant noonOf(sys_days day) {
  return Instant{day} + hours(12);
}

// Four days at the end of November 2026: the last session of each day runs past midnight, the
// one of the 30th into December, whose directory does not exist.
class SessionTreeGeneratorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir();
    options_ = GeneratorOptions{.root = dir_->path(),
                                .year = 2026,
                                .month = 11,
                                .firstDay = 27,
                                .dayCount = 4,
                                .sessionsPerDay = 6,
                                .targetBytes = 4 << 20,
                                .seed = 7};
    expected_ = new ExpectedUsage(generateSessionTree(options_).value());
  }
  static void TearDownTestSuite() {
    delete expected_;
    delete dir_;
  }

  TokenUsageService makeService() const {
    return TokenUsageService(fileSystem_, *calendar_, sessionsPath(options_.root));
  }

  static testing::TempDir* dir_;
  static GeneratorOptions options_;
  static ExpectedUsage* expected_;
  PosixFileSystem fileSystem_;
  std::unique_ptr<ZonedCalendar> calendar_ = ZonedCalendar::named("UTC");
};

testing::TempDir* SessionTreeGeneratorTest::dir_ = nullptr;
GeneratorOptions SessionTreeGeneratorTest::options_;
ExpectedUsage* SessionTreeGeneratorTest::expected_ = nullptr;

TEST_F(SessionTreeGeneratorTest, DailyUsageEqualsTheGeneratedSumOfEveryDay) {
  ASSERT_TRUE(expected_->days.contains("2026-12-01"));  // past midnight into the next month
  TokenUsageService service = makeService();
  // One service for all days, as the view model asks for past days one after the other.
  for (sys_days day = sys_days(2026y / 11 / 1); day <= sys_days(2026y / 12 / 2); day += days(1)) {
    const std::string key = utcDayText(noonOf(day).time_since_epoch().count() / 1000);
    const auto found = expected_->days.find(key);
    if (found == expected_->days.end()) {
      EXPECT_THROW(service.fetchDailyUsage(noonOf(day)), TokenUsageError) << key;
      continue;
    }
    const std::vector<DailyTokenUsage> usage = service.fetchDailyUsage(noonOf(day));
    ASSERT_EQ(1u, usage.size()) << key;
    EXPECT_EQ(key, usage.front().id);
    EXPECT_EQ(found->second.usage, usage.front().totals) << key;
  }
}

TEST_F(SessionTreeGeneratorTest, MonthTotalsEqualTheGeneratedSumOfTheMonth) {
  TokenUsageService service = makeService();
  const TokenTotals month = expected_->monthUsage("2026-11");
  EXPECT_GT(month.totalTokens, 0);
  EXPECT_EQ(month, service.fetchMonthTotals(noonOf(sys_days(2026y / 11 / 15))));
}

// Reads the tree back with a plain JSON parser and checks what the generator promises: the
// agent's layout, well-formed lines, a turn_context per request, and usage repeated as agent 0.58
// repeats it, so that the sums above are tested against the cases that matter.
TEST_F(SessionTreeGeneratorTest, TreeHasTheShapeOfTheAgentsLogs) {
  simdjson::dom::parser parser;
  std::uint64_t turnContexts = 0;
  std::uint64_t tokenEvents = 0;
  std::uint64_t repeats = 0;
  std::uint64_t resumedEvents = 0;  // two days or more after the session's start
  std::uint64_t forks = 0;          // copies of a parent's lines, counted apart
  std::uint64_t switchedFiles = 0;  // files whose turn_context lines name two models
  std::set<std::string> models;
  const auto files = treeContents(options_.root);
  for (const auto& [path, contents] : files) {
    std::set<std::string> fileModels;
    ASSERT_TRUE(hasTheAgentsLayout(path)) << path;
    ASSERT_EQ('\n', contents.back()) << path;
    if (contents.find("\"forked_from_id\"") < contents.find('\n')) {
      ++forks;
      continue;
    }
    std::string previousTotal;
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);) {
      simdjson::dom::element root;
      ASSERT_EQ(simdjson::SUCCESS, parser.parse(line).get(root)) << path << ": " << line;
      const std::string_view type = root["type"].get_string().value_unsafe();
      if (type == "turn_context") {
        ++turnContexts;
        fileModels.emplace(root["payload"]["model"].get_string().value_unsafe());
      } else if (type == "event_msg" && root["payload"]["type"].get_string().value_unsafe() ==
                                            std::string_view("token_count")) {
        ++tokenEvents;
        const std::string_view timestamp = root["timestamp"].get_string().value_unsafe();
        const std::string startDay = path.substr(28, 10);
        resumedEvents += dayOf(timestamp) - dayOf(startDay) >= days(2);
        simdjson::dom::element total;
        if (root["payload"]["info"]["total_token_usage"].get(total) == simdjson::SUCCESS) {
          EXPECT_NEAR(600.0, double(line.size()), 60.0) << line;
          const std::string text = simdjson::minify(total);
          repeats += text == previousTotal;
          previousTotal = text;
        }
      }
    }
    EXPECT_LE(fileModels.size(), 2u) << path;
    switchedFiles += fileModels.size() == 2;
    models.insert(fileModels.begin(), fileModels.end());
  }
  const TreeStats& stats = expected_->stats;
  EXPECT_EQ(options_.dayCount * options_.sessionsPerDay + forks, files.size());
  EXPECT_GE(forks, 1u);
  EXPECT_EQ(stats.files, files.size());
  std::uint64_t requests = 0;
  std::uint64_t expectedTokenEvents = 0;
  for (const auto& [day, expectation] : expected_->days) {
    requests += expectation.requests;
    expectedTokenEvents += expectation.tokenEvents;
  }
  EXPECT_EQ(requests, turnContexts);
  EXPECT_EQ(expectedTokenEvents, tokenEvents);
  EXPECT_EQ(stats.repeatedEvents, repeats);
  EXPECT_GT(repeats, requests / 2);
  EXPECT_GE(stats.sessionsPastMidnight, options_.dayCount);
  EXPECT_GE(stats.resumedSessions, 1u);
  EXPECT_GT(resumedEvents, 0u);
  // About a tenth of the bytes in token lines, most of the rest in lines of 0.2 to 50 KB.
  EXPECT_NEAR(0.1, double(stats.tokenLineBytes) / double(stats.bytes), 0.05);
  EXPECT_GT(double(stats.largeLineBytes) / double(stats.bytes), 0.8);
  EXPECT_LE(stats.longestLine, 50u * 1024);
  // A mix of models, a switch in most sessions, and each day's usage split by model without loss.
  EXPECT_GE(models.size(), 5u);
  EXPECT_GT(switchedFiles, files.size() / 2);
  for (const auto& [day, expectation] : expected_->days) {
    TokenTotals sum;
    for (const auto& [model, usage] : expectation.models) {
      addUsage(sum, usage);
    }
    EXPECT_EQ(expectation.usage, sum) << day;
  }
}

TEST(SessionTreeGeneratorDeterminismTest, SameSeedWritesTheSameTreeAndAnotherSeedDoesNot) {
  testing::TempDir first, second, third;
  GeneratorOptions options{.root = first.path(),
                           .year = 2026,
                           .month = 2,
                           .firstDay = 27,
                           .dayCount = 3,
                           .sessionsPerDay = 3,
                           .targetBytes = 300 << 10,
                           .seed = 11};
  const auto expected = generateSessionTree(options);
  options.root = second.path();
  ASSERT_TRUE(generateSessionTree(options));
  options.root = third.path();
  options.seed = 12;
  ASSERT_TRUE(generateSessionTree(options));

  ASSERT_TRUE(expected);
  EXPECT_EQ(6u, treeContents(first.path()).size());  // February 2026 has 28 days
  EXPECT_EQ(treeContents(first.path()), treeContents(second.path()));
  EXPECT_NE(treeContents(first.path()), treeContents(third.path()));
  EXPECT_EQ(expected, readExpectedUsage(expectedUsagePath(first.path())));
}

}  // namespace
}  // namespace nubrel::bench
