// The zone name a ZonedCalendar reports, read after the call that produced it.
#include <gtest/gtest.h>

#include <string>

#include "platform/ZonedCalendar.h"

namespace nubrel {
namespace {

// zoneName() hands out a view; it must point into the zone database, not into a temporary.
TEST(ZonedCalendarNameTest, NameOutlivesTheCall) {
  const auto calendar = ZonedCalendar::named("Pacific/Kiritimati");
  ASSERT_TRUE(calendar);
  const std::string_view name = calendar->zoneName();
  EXPECT_EQ("Pacific/Kiritimati", std::string(name));
}

}  // namespace
}  // namespace nubrel
