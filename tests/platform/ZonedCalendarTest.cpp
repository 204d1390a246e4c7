#include "platform/ZonedCalendar.h"

#include <gtest/gtest.h>

#include "model/Timestamp.h"
#include "support/PlantedEntries.h"

namespace nubrel {
namespace {

Instant at(std::string_view text) {
  return parseTimestamp(text).value();
}

// Days around the changes of the clocks: a day of 23 or 25 hours, a skipped midnight or hour, a
// local time lived twice (its first instant is taken).
TEST(ZonedCalendarTest, DaysAndTimesAcrossClockChanges) {
  const struct {
    const char* zone;
    const char* instant;
    const char* dayStart;  // of the instant's day
    int clock;             // local minutes since midnight
    int days;
    const char* moved;  // the instant moved by `days`
  } cases[] = {
      // Chile skipped midnight on 2022-09-11 (-04 to -03) and lived 23:00 of 2022-04-02 twice.
      {"America/Santiago", "2022-09-11T04:00:00.000Z", "2022-09-11T04:00:00.000Z", 60, -1,
       "2022-09-10T05:00:00.000Z"},
      {"America/Santiago", "2022-09-11T03:59:59.999Z", "2022-09-10T04:00:00.000Z", 1439, 1,
       "2022-09-12T02:59:59.999Z"},
      {"America/Santiago", "2022-04-10T03:30:00.000Z", "2022-04-09T04:00:00.000Z", 1410, -7,
       "2022-04-03T02:30:00.000Z"},
      // Berlin skipped 02:00 on 2025-03-30 and lived it twice on 2025-10-26.
      {"Europe/Berlin", "2025-03-31T00:30:00.000Z", "2025-03-30T22:00:00.000Z", 150, -1,
       "2025-03-30T01:00:00.000Z"},
      {"Europe/Berlin", "2025-10-27T01:30:00.000Z", "2025-10-26T23:00:00.000Z", 150, -1,
       "2025-10-26T00:30:00.000Z"},
  };
  for (const auto& c : cases) {
    const auto calendar = ZonedCalendar::named(c.zone);
    ASSERT_TRUE(calendar) << c.zone;
    const CacheKey day = calendar->dayOf(at(c.instant));
    EXPECT_EQ(day, calendar->dayOf(at(c.dayStart))) << c.zone << " " << c.instant;
    EXPECT_EQ(at(c.dayStart), calendar->startOf(day)) << c.zone << " " << c.instant;
    EXPECT_EQ(std::chrono::minutes(c.clock), calendar->timeOfDay(at(c.instant))) << c.instant;
    EXPECT_EQ(at(c.moved), calendar->addingDays(at(c.instant), c.days)) << c.instant;
  }
}

TEST(ZonedCalendarTest, CurrentZoneComesFromTzWhenItNamesOne) {
  for (const char* tz : {"Asia/Tokyo", ":Asia/Tokyo", "/usr/share/zoneinfo/Asia/Tokyo"}) {
    const testing::ScopedEnvironment zone("TZ", tz);
    EXPECT_EQ("Asia/Tokyo", ZonedCalendar::current()->zoneName()) << tz;
  }
  const testing::ScopedEnvironment zone("TZ", "Not/AZone");
  EXPECT_TRUE(ZonedCalendar::current()) << "falls back to /etc/localtime or UTC";
  EXPECT_EQ(nullptr, ZonedCalendar::named("Not/AZone"));
}

}  // namespace
}  // namespace nubrel
