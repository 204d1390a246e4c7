#include "platform/LocaleDateNames.h"

#include <gtest/gtest.h>

namespace nubrel {
namespace {

// Russian and Polish name a month inside a date otherwise than on its own.
TEST(LocaleDateNamesTest, MonthAndWeekdayNamesOfEachLocale) {
  const struct {
    const char* locale;
    int month;
    const char* inDate;
    const char* standalone;
    int weekday;  // from Sunday
    const char* weekdayName;
  } cases[] = {
      {"C", 12, "December", "December", 6, "Sat"},
      {"ru_RU.UTF-8", 3, "марта", "Март", 1, "Пн"},
      {"pl_PL.UTF-8", 9, "września", "wrzesień", 5, "pią"},
  };
  const auto plain = LocaleDateNames::named("C");
  for (const std::string& none : {plain->monthName(0), plain->standaloneMonthName(13),
                                  plain->weekdayAbbreviation(-1), plain->weekdayAbbreviation(7)}) {
    EXPECT_EQ("", none);
  }
  EXPECT_EQ(nullptr, LocaleDateNames::named("xx_NOWHERE.UTF-8"));
  for (const auto& c : cases) {
    const auto names = LocaleDateNames::named(c.locale);
    if (!names) {
      GTEST_SKIP() << "locale " << c.locale << " is not installed (scripts/install-deps.sh)";
    }
    EXPECT_EQ(c.inDate, names->monthName(c.month)) << c.locale;
    EXPECT_EQ(c.standalone, names->standaloneMonthName(c.month)) << c.locale;
    EXPECT_EQ(c.weekdayName, names->weekdayAbbreviation(c.weekday)) << c.locale;
  }
}

}  // namespace
}  // namespace nubrel
