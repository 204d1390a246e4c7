#include "platform/ZonedCalendar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "model/Timestamp.h"

namespace nubrel {
namespace {

Instant at(std::string_view text) {
  return parseTimestamp(text).value();
}

TEST(ZonedCalendarTest, MidnightInADaylightSavingGapStartsTheDayAtTheGapsEnd) {
  // Chile moved from -04 to -03 at local midnight on 2022-09-11: that day begins at 01:00.
  const auto santiago = ZonedCalendar::named("America/Santiago");
  ASSERT_TRUE(santiago);
  EXPECT_EQ(at("2022-09-11T04:00:00.000Z"), santiago->startOf({2022, 9, 11}));
  EXPECT_EQ(CacheKey({2022, 9, 11}), santiago->dayOf(at("2022-09-11T04:00:00.000Z")));
  EXPECT_EQ(CacheKey({2022, 9, 10}), santiago->dayOf(at("2022-09-11T03:59:59.999Z")));
  EXPECT_EQ(at("2022-09-10T04:00:00.000Z"), santiago->startOf({2022, 9, 10}));
}

TEST(ZonedCalendarTest, AddingDaysGivesConsecutiveDaysAcrossChanges) {
  const auto santiago = ZonedCalendar::named("America/Santiago");
  ASSERT_TRUE(santiago);
  // 00:30 local, counted back over the gap of 2022-09-11 and the fall-back of 2022-04-03.
  for (const char* reference : {"2022-09-13T03:30:00.000Z", "2022-04-08T04:30:00.000Z"}) {
    std::set<std::int64_t> days;
    const CacheKey start = santiago->dayOf(at(reference));
    for (int k = 1; k <= 6; ++k) {
      const auto moved = santiago->addingDays(at(reference), -k);
      ASSERT_TRUE(moved);
      const CacheKey day = santiago->dayOf(*moved);
      EXPECT_EQ(start.day - k, day.day) << reference << " minus " << k;
      days.insert(day.day);
    }
    EXPECT_EQ(6u, days.size());
  }
}

TEST(ZonedCalendarTest, FarFromUtcTheDayTurnsHoursEarlier) {
  const auto kiritimati = ZonedCalendar::named("Pacific/Kiritimati");
  ASSERT_TRUE(kiritimati);
  EXPECT_EQ(CacheKey({2025, 1, 31}), kiritimati->dayOf(at("2025-01-30T10:00:00.000Z")));
  EXPECT_EQ(CacheKey({2025, 1, 30}), kiritimati->dayOf(at("2025-01-30T09:59:59.999Z")));
  EXPECT_EQ(at("2025-01-30T10:00:00.000Z"), kiritimati->startOf({2025, 1, 31}));
}

TEST(ZonedCalendarTest, TimeOfDayIsTheWallClockOnEitherSideOfAChange) {
  const auto berlin = ZonedCalendar::named("Europe/Berlin");
  ASSERT_TRUE(berlin);
  using std::chrono::minutes;
  // Clocks went from 02:00 CET to 03:00 CEST on 2025-03-30 and back on 2025-10-26.
  const struct {
    const char* instant;
    minutes local;
  } cases[] = {
      {"2025-03-30T00:59:59.000Z", minutes(1 * 60 + 59)},
      {"2025-03-30T01:00:00.000Z", minutes(3 * 60)},
      {"2025-03-30T13:38:00.000Z", minutes(15 * 60 + 38)},
      {"2025-10-26T00:30:00.000Z", minutes(2 * 60 + 30)},
      {"2025-10-26T01:30:00.000Z", minutes(2 * 60 + 30)},
      {"2025-03-29T23:00:00.000Z", minutes(0)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.local, berlin->timeOfDay(at(c.instant))) << c.instant;
  }
}

TEST(ZonedCalendarTest, CurrentZoneComesFromTzWhenItNamesOne) {
  const char* saved = std::getenv("TZ");
  const std::string restore = saved ? saved : "";
  for (const auto& [tz, expected] : {std::pair{"Pacific/Kiritimati", "Pacific/Kiritimati"},
                                     std::pair{":Europe/Berlin", "Europe/Berlin"},
                                     std::pair{"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"}}) {
    ::setenv("TZ", tz, 1);
    EXPECT_EQ(expected, ZonedCalendar::current()->zoneName()) << tz;
  }
  ::setenv("TZ", "Not/AZone", 1);
  EXPECT_TRUE(ZonedCalendar::current()) << "falls back to /etc/localtime or UTC";
  saved ? ::setenv("TZ", restore.c_str(), 1) : ::unsetenv("TZ");
}

}  // namespace
}  // namespace nubrel
