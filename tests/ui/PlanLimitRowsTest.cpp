#include "ui/PlanLimitRows.h"

#include <limits>

#include "viewmodel/LimitsFixture.h"

namespace nubrel::testing {
namespace {

class PlanLimitRowsTest : public LimitsFixture {
 protected:
  std::vector<std::string> titles() const {
    std::vector<std::string> result;
    for (const PlanLimitRow& row : planLimitRows(*viewModel_)) {
      result.push_back(row.title);
    }
    return result;
  }
};

TEST(PlanLimitNamesTest, WindowNamesComeFromTheirLength) {
  const struct {
    std::int64_t minutes;
    const char* name;
  } cases[] = {
      {300, "5-hour"},
      {299, "5-hour"},
      {10080, "Weekly"},
      {10079, "Weekly"},
      {60, "1-hour"},
      {90, "2-hour"},
      {89, "1-hour"},
      {30, "1-hour"},
      {0, "1-hour"},
      {-5, "1-hour"},
      {1439, "24-hour"},
      {1440, "1-day"},
      {2880, "2-day"},
      {43200, "30-day"},
      {10081, "7-day"},
      {180, "3-hour"},
      {std::numeric_limits<std::int64_t>::max(), "6405119470038039-day"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.name, limitWindowName(c.minutes)) << c.minutes;
  }
}

TEST(PlanLimitNamesTest, ShownPercentIsWholeAndWithinBounds) {
  const struct {
    double used;
    int shown;
  } cases[] = {{63.0, 63},
               {62.5, 63},
               {0.4, 0},
               {-3, 0},
               {100, 100},
               {150, 100},
               {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.shown, shownPercent(c.used)) << c.used;
  }
}

// Read at 10:02 and refreshed at 11:00 in Berlin on Friday 21 March 2025, unless a case says.
TEST_F(PlanLimitRowsTest, RowsWordTheResetAsSeenAtTheLastRefresh) {
  constexpr const char* kRead = "2025-03-21T09:02:10.000Z";
  constexpr const char* kNow = "2025-03-21T10:00:00.000Z";
  const struct {
    const char* name;
    const char* read;
    const char* now;
    RateLimitWindow window;
    const char* title;
  } cases[] = {
      {"later today", kRead, kNow, window(63, 300, "2025-03-21T14:38:45.000Z"),
       "5-hour: 63% used \u2022 resets 15:38"},
      {"another day", kRead, kNow, window(43, 10080, "2025-03-24T08:01:48.000Z"),
       "Weekly: 43% used \u2022 resets Mon 09:01"},
      {"passed today", kRead, kNow, window(97, 300, "2025-03-21T09:00:00.000Z"),
       "5-hour: reset at 10:00"},
      {"passing at the refresh", kRead, kNow, window(97, 300, kNow), "5-hour: reset at 11:00"},
      {"passed yesterday", kRead, kNow, window(97, 300, "2025-03-20T20:00:00.000Z"),
       "5-hour: reset at Thu 21:00"},
      {"no reset time", kRead, kNow, window(35, 299), "5-hour: 35% used (as of 10:02)"},
      {"read yesterday", "2025-03-20T22:59:00.000Z", kNow, window(35, 299),
       "5-hour: 35% used (as of Thu 23:59)"},
      {"across the spring change", "2025-03-29T22:00:00.000Z", "2025-03-29T22:30:00.000Z",
       window(12, 300, "2025-03-30T01:30:00.000Z"), "5-hour: 12% used \u2022 resets Sun 03:30"},
      {"after the spring change", "2025-03-30T09:00:00.000Z", "2025-03-30T10:00:00.000Z",
       window(12, 300, "2025-03-30T13:38:00.000Z"), "5-hour: 12% used \u2022 resets 15:38"},
  };
  for (const auto& c : cases) {
    clock_.set(at(c.now));
    refreshWithLimits(c.read, c.window);
    EXPECT_EQ(std::vector<std::string>{c.title}, titles()) << c.name;
  }
}

TEST_F(PlanLimitRowsTest, WeekdaysFollowTheLocale) {
  names_ = LocaleDateNames::named("de_DE.UTF-8");
  if (!names_) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  }
  refreshWithLimits("2025-03-21T09:02:10.000Z", window(43, 10080, "2025-03-24T08:01:48.000Z"),
                    window(20, 10080));
  EXPECT_EQ((std::vector<std::string>{"Weekly: 43% used \u2022 resets Mo 09:01",
                                      "Weekly: 20% used (as of 10:02)"}),
            titles());
}

TEST_F(PlanLimitRowsTest, OnlyLimitsFromTheLastSevenDaysAreShown) {
  refreshFully();
  EXPECT_TRUE(titles().empty()) << "no limits at all";
  refreshWithLimits("2025-03-14T10:00:00.000Z", std::nullopt, window(43, 10080));
  EXPECT_EQ((std::vector<std::string>{"Weekly: 43% used (as of Fri 11:00)"}), titles());
  refreshWithLimits("2025-03-14T09:59:59.999Z", window(43, 300));
  EXPECT_TRUE(titles().empty()) << "a week and a moment old";
}

}  // namespace
}  // namespace nubrel::testing
