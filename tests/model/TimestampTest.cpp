#include "model/Timestamp.h"

#include <gtest/gtest.h>

namespace nubrel {
namespace {

using namespace std::chrono;

Instant utc(int y, unsigned m, unsigned d, int h, int min, int s, int micros = 0) {
  return Instant{sys_days{year{y} / month{m} / day{d}}} + hours{h} + minutes{min} + seconds{s} +
         microseconds{micros};
}

TEST(TimestampTest, ParsesTheAgentsFormsWithZoneDesignators) {
  const struct {
    const char* text;
    Instant expected;
  } cases[] = {
      {"2025-01-31T23:59:58.123Z", utc(2025, 1, 31, 23, 59, 58, 123000)},
      {"2025-01-31T23:59:58.1Z", utc(2025, 1, 31, 23, 59, 58, 100000)},
      {"2025-01-31T23:59:58.123456789Z", utc(2025, 1, 31, 23, 59, 58, 123456)},
      {"2025-02-01T05:29:58.000+05:30", utc(2025, 1, 31, 23, 59, 58)},
      {"2025-01-31T20:00:00.500-04:00", utc(2025, 2, 1, 0, 0, 0, 500000)},
      {"2024-02-29T00:00:00.000Z", utc(2024, 2, 29, 0, 0, 0)},
      {"0000-01-01T00:00:00.000Z", utc(0, 1, 1, 0, 0, 0)},
      {"9999-12-31T23:59:59.999Z", utc(9999, 12, 31, 23, 59, 59, 999000)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, parseTimestamp(c.text)) << c.text;
  }
}

TEST(TimestampTest, RefusesEverythingElse) {
  for (const char* text : {
           "2025-01-31T23:59:58Z",           // no fraction
           "2025-01-31T23:59:58.Z",          // empty fraction
           "2025-01-31T23:59:58.123",        // no zone
           "2025-01-31 23:59:58.123Z",       // blank instead of T
           "2025-01-31t23:59:58.123z",       // lower case
           "2025-02-29T00:00:00.000Z",       // not a leap year
           "2025-13-01T00:00:00.000Z",       // month 13
           "2025-01-31T24:00:00.000Z",       // hour 24
           "2025-01-31T23:60:00.000Z",       // minute 60
           "2025-01-31T23:59:60.000Z",       // leap second
           "2025-01-31T23:59:58.123+0530",   // offset without colon
           "2025-01-31T23:59:58.123+24:00",  // offset out of range
           "2025-01-31T23:59:58.123Z ",      // trailing blank
           "25-01-31T23:59:58.123Z",         // short year
           "+2025-01-31T23:59:58.123Z",      // sign
           "",
       }) {
    EXPECT_EQ(std::nullopt, parseTimestamp(text)) << text;
  }
}

}  // namespace
}  // namespace nubrel
