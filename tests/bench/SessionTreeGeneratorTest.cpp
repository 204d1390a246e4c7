// The benchmarks check the service's answers against the sums the generator wrote beside its
// tree; those sums must be what the tree holds, forks and sessions past midnight included.
#include "bench/SessionTreeGenerator.h"

#include <gtest/gtest.h>

#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/TempDir.h"

namespace nubrel::bench {
namespace {

using namespace std::chrono;

TEST(SessionTreeGeneratorTest, TheTreeReadsBackAsTheSumsWrittenBesideIt) {
  // From 27 November 2026, four days of six sessions; the last of each day runs past midnight,
  // the one of the 30th into December.
  testing::TempDir dir;
  const GeneratorOptions options{dir.path(), 2026, 11, 27, 4, 6, 2 << 20, 7};
  const ExpectedUsage expected = generateSessionTree(options).value();
  EXPECT_EQ(expected, readExpectedUsage(expectedUsagePath(dir.path())));
  EXPECT_GT(expected.stats.files, 4u * 6u) << "no fork";
  EXPECT_TRUE(expected.days.contains("2026-12-01"));

  PosixFileSystem fileSystem;
  const auto calendar = ZonedCalendar::named("UTC");
  TokenUsageService service(fileSystem, *calendar, sessionsPath(dir.path()));
  for (sys_days day = 2026y / 11 / 26; day <= sys_days(2026y / 12 / 2); day += days(1)) {
    const Instant noon = Instant{day} + hours(12);
    const std::string key = utcDayText(noon.time_since_epoch().count() / 1000);
    const auto found = expected.days.find(key);
    if (found == expected.days.end()) {
      EXPECT_THROW(service.fetchDailyUsage(noon), TokenUsageError) << key;
      continue;
    }
    const std::vector<DailyTokenUsage> usage = service.fetchDailyUsage(noon);
    ASSERT_EQ(1u, usage.size()) << key;
    EXPECT_EQ(found->second.usage, usage.front().totals) << key;
    std::map<std::pair<std::string, bool>, TokenTotals> models;
    for (const ModelUsage& model : usage.front().models) {
      models[{model.model, model.longContext}] = model.totals;
    }
    EXPECT_EQ(found->second.models, models) << key;
  }
  EXPECT_EQ(expected.monthUsage("2026-11"),
            service.fetchMonthTotals(Instant{sys_days(2026y / 11 / 15)}));
}

}  // namespace
}  // namespace nubrel::bench
