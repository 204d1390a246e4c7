// The benchmarks check the service's answers against the sums the generator wrote beside its
// tree; those sums must be what the tree holds, forks and sessions past midnight included.
#include "bench/SessionTreeGenerator.h"

#include <gtest/gtest.h>

#include "model/Timestamp.h"
#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/TempDir.h"

namespace nubrel::bench {
namespace {

TEST(SessionTreeGeneratorTest, TheTreeReadsBackAsTheSumsWrittenBesideIt) {
  // Four days of six sessions from 27 November 2026; the last of the 30th runs into December.
  testing::TempDir dir;
  const GeneratorOptions options{dir.path(), 2026, 11, 27, 4, 6, 2 << 20, 7};
  const ExpectedUsage expected = generateSessionTree(options).value();
  EXPECT_EQ(expected, readExpectedUsage(expectedUsagePath(dir.path())));
  EXPECT_GT(expected.stats.files, 4u * 6u) << "no fork";
  EXPECT_TRUE(expected.days.contains("2026-12-01"));

  PosixFileSystem fileSystem;
  const auto calendar = ZonedCalendar::named("UTC");
  TokenUsageService service(fileSystem, *calendar, sessionsPath(dir.path()));
  for (const auto& [key, day] : expected.days) {
    const auto usage = service.fetchDailyUsage(parseTimestamp(key + "T12:00:00.000Z").value());
    ASSERT_EQ(1u, usage.size()) << key;
    EXPECT_EQ(day.usage, usage.front().totals) << key;
  }
  EXPECT_EQ(expected.monthUsage("2026-11"),
            service.fetchMonthTotals(parseTimestamp("2026-11-15T12:00:00.000Z").value()));
}

}  // namespace
}  // namespace nubrel::bench
