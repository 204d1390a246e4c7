#include "model/Timestamp.h"

#include <gtest/gtest.h>

namespace nubrel {
namespace {

using namespace std::chrono;

Instant utc(int y, unsigned m, unsigned d, int h, int min, int s, int micros = 0) {
  return sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{min} + seconds{s} +
         microseconds{micros};
}

// The agents' forms with any zone designator; everything else is refused.
TEST(TimestampTest, ParsesTheAgentsFormsAndRefusesEverythingElse) {
  const struct {
    const char* text;
    std::optional<Instant> expected;
  } cases[] = {
      {"2025-01-31T23:59:58.123Z", utc(2025, 1, 31, 23, 59, 58, 123000)},
      {"2025-01-31T23:59:58.1Z", utc(2025, 1, 31, 23, 59, 58, 100000)},
      {"2025-01-31T23:59:58.123456789Z", utc(2025, 1, 31, 23, 59, 58, 123456)},
      {"2025-02-01T05:29:58.000+05:30", utc(2025, 1, 31, 23, 59, 58)},
      {"2025-01-31T20:00:00.500-04:00", utc(2025, 2, 1, 0, 0, 0, 500000)},
      {"9999-12-31T23:59:59.999Z", utc(9999, 12, 31, 23, 59, 59, 999000)},
      {"2025-01-31T23:59:58Z", std::nullopt},           // no fraction
      {"2025-01-31T23:59:58.123", std::nullopt},        // no zone
      {"2025-02-29T00:00:00.000Z", std::nullopt},       // not a leap year
      {"2025-01-31T24:00:00.000Z", std::nullopt},       // hour 24
      {"2025-01-31T23:59:58.123+24:00", std::nullopt},  // offset out of range
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, parseTimestamp(c.text)) << c.text;
  }
}

}  // namespace
}  // namespace nubrel
