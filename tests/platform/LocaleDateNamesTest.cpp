#include "platform/LocaleDateNames.h"

#include <gtest/gtest.h>

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

TEST(LocaleDateNamesOutsideTest, UnknownLocaleAndMonthGiveNothing) {
  EXPECT_EQ(nullptr, LocaleDateNames::named("xx_NOWHERE.UTF-8"));
  const auto names = LocaleDateNames::named("C");
  ASSERT_TRUE(names);
  EXPECT_EQ("", names->monthName(0));
  EXPECT_EQ("", names->standaloneMonthName(13));
}

}  // namespace
}  // namespace nubrel
