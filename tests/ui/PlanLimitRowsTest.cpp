#include "ui/PlanLimitRows.h"

#include <cmath>
#include <limits>

#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using PlanLimitRowsTest = ViewModelFixture;

TEST(PlanLimitNamesTest, WindowsAreNamedByTheirLengthAndUseIsAWholePercent) {
  const std::pair<std::int64_t, const char*> names[] = {
      {299, "5-hour"},
      {10079, "Weekly"},
      {90, "2-hour"},
      {89, "1-hour"},
      {-5, "1-hour"},
      {1439, "24-hour"},
      {1440, "1-day"},
      {10081, "7-day"},
      {std::numeric_limits<std::int64_t>::max(), "6405119470038039-day"}};
  for (const auto& [minutes, name] : names) {
    EXPECT_EQ(name, limitWindowName(minutes)) << minutes;
  }
  for (const auto& [used, shown] : {std::pair{62.5, 63}, {-3.0, 0}, {150.0, 100}, {NAN, 0}}) {
    EXPECT_EQ(shown, shownPercent(used)) << used;
  }
}

// Refreshed at 11:00 in Berlin on Friday 21 March 2025, unless a case says.
TEST_F(PlanLimitRowsTest, RowsWordTheResetAsSeenAtTheLastRefresh) {
  const struct {
    const char* read;
    RateLimitWindow window;
    const char* title;  // nullptr: no row
    const char* now = "2025-03-21T10:00:00.000Z";
  } cases[] = {
      {"2025-03-21T09:02:10.000Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
       "5-hour: 63% used • resets 15:38"},
      {"2025-03-21T09:02:10.000Z", window(43, 10080, "2025-03-24T08:01:48.000Z"),
       "Weekly: 43% used • resets Mon 09:01"},
      {"2025-03-21T09:02:10.000Z", window(97, 300, "2025-03-21T10:00:00.000Z"),
       "5-hour: reset at 11:00"},
      {"2025-03-21T09:02:10.000Z", window(97, 300, "2025-03-20T20:00:00.000Z"),
       "5-hour: reset at Thu 21:00"},
      // Without a reset time; shown for seven days from the reading, and not a moment longer.
      {"2025-03-14T10:00:00.000Z", window(35, 299), "5-hour: 35% used (as of Fri 11:00)"},
      {"2025-03-14T09:59:59.999Z", window(35, 299), nullptr},
      {"2025-03-29T22:00:00.000Z", window(12, 300, "2025-03-30T01:30:00.000Z"),
       "5-hour: 12% used • resets Sun 03:30", "2025-03-29T22:30:00.000Z"},  // before spring
  };
  for (const auto& c : cases) {
    clock_.set(at(c.now));
    refreshWithLimits(c.read, c.window);
    std::vector<std::string> titles;
    for (const PlanLimitRow& row : planLimitRows(*viewModel_)) {
      titles.push_back(row.title);
    }
    EXPECT_EQ(c.title ? std::vector<std::string>{c.title} : std::vector<std::string>{}, titles)
        << c.read;
  }
}

}  // namespace
}  // namespace nubrel::testing
