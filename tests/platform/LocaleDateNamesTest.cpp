#include "platform/LocaleDateNames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

namespace nubrel {
namespace {

struct MonthNames {
  const char* locale;
  int month;
  const char* inDate;
  const char* standalone;
};

void PrintTo(const MonthNames& names, std::ostream* os) {
  *os << names.locale << " month " << names.month;
}

class LocaleDateNamesTest : public ::testing::TestWithParam<MonthNames> {};

TEST_P(LocaleDateNamesTest, MonthNamesInDatesAndStandingAlone) {
  const MonthNames& c = GetParam();
  const auto names = LocaleDateNames::named(c.locale);
  if (!names) {
    GTEST_SKIP() << "locale " << c.locale << " is not installed (scripts/install-deps.sh makes it)";
  }
  EXPECT_EQ(c.inDate, names->monthName(c.month));
  EXPECT_EQ(c.standalone, names->standaloneMonthName(c.month));
}

// Russian and Polish use another form of the name inside a date than on its own.
INSTANTIATE_TEST_SUITE_P(Locales, LocaleDateNamesTest,
                         ::testing::Values(MonthNames{"C", 1, "January", "January"},
                                           MonthNames{"C", 12, "December", "December"},
                                           MonthNames{"de_DE.UTF-8", 3, "März", "März"},
                                           MonthNames{"ru_RU.UTF-8", 3, "марта", "Март"},
                                           MonthNames{"ru_RU.UTF-8", 11, "ноября", "Ноябрь"},
                                           MonthNames{"pl_PL.UTF-8", 9, "września", "wrzesień"}));

TEST(LocaleDateNamesOutsideTest, WeekdayAbbreviationsStartOnSunday) {
  const struct {
    const char* locale;
    int weekday;
    const char* text;
  } cases[] = {{"C", 0, "Sun"},          {"C", 1, "Mon"},          {"C", 6, "Sat"},
               {"de_DE.UTF-8", 1, "Mo"}, {"ru_RU.UTF-8", 1, "Пн"}, {"pl_PL.UTF-8", 5, "pią"}};
  for (const auto& c : cases) {
    const auto names = LocaleDateNames::named(c.locale);
    if (!names) {
      std::printf("skipped: locale %s is not installed\n", c.locale);
      continue;
    }
    EXPECT_EQ(c.text, names->weekdayAbbreviation(c.weekday)) << c.locale << " " << c.weekday;
  }
}

TEST(LocaleDateNamesOutsideTest, UnknownLocaleMonthAndWeekdayGiveNothing) {
  EXPECT_EQ(nullptr, LocaleDateNames::named("xx_NOWHERE.UTF-8"));
  const auto names = LocaleDateNames::named("C");
  ASSERT_TRUE(names);
  EXPECT_EQ("", names->monthName(0));
  EXPECT_EQ("", names->standaloneMonthName(13));
  EXPECT_EQ("", names->weekdayAbbreviation(-1));
  EXPECT_EQ("", names->weekdayAbbreviation(7));
}

}  // namespace
}  // namespace nubrel
