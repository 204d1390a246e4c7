// The plan's limits in words, and the notices when their use runs high.
#include "ui/PlanLimitRows.h"

#include <cmath>
#include <limits>

#include "ui/LimitNotices.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

class PlanLimitRowsTest : public ViewModelFixture, public Notifier {
 protected:
  void notify(const std::string& summary, const std::string& body) override {
    shown_.push_back(summary + " | " + body);
  }
  // A refresh a minute later that finds the 5-hour window at this use and reset time (none when
  // empty), read half a minute before; then the check the tray program makes after each refresh.
  void readPrimary(double usedPercent, const char* resets = "2025-03-21T14:38:45.000Z") {
    clock_.advance(std::chrono::minutes(1));
    source_->limits = RateLimitSnapshot{{window(usedPercent, 300, resets), std::nullopt},
                                        clock_.now() - std::chrono::seconds(30)};
    refreshFully();
    notices_->check(*viewModel_);
  }

  std::vector<std::string> shown_;
  std::optional<LimitNotices> notices_{std::in_place, *this, preferences_};
};

TEST(PlanLimitNamesTest, WindowsAreNamedByTheirLengthAndUseIsAWholePercent) {
  const std::pair<std::int64_t, const char*> names[] = {
      {299, "5-hour"}, {10079, "Weekly"}, {90, "2-hour"},  {89, "1-hour"},
      {-5, "1-hour"},  {1439, "24-hour"}, {1440, "1-day"}, {10081, "7-day"}};
  for (const auto& [minutes, name] : names) {
    EXPECT_EQ(name, limitWindowName(minutes)) << minutes;
  }
  EXPECT_EQ("6405119470038039-day", limitWindowName(std::numeric_limits<std::int64_t>::max()));
  for (const auto& [used, shown] : {std::pair{62.5, 63}, {-3.0, 0}, {150.0, 100}, {NAN, 0}}) {
    EXPECT_EQ(shown, shownPercent(used)) << used;
  }
}

// Refreshed at 11:00 in Berlin on Friday 21 March 2025.
TEST_F(PlanLimitRowsTest, RowsWordTheResetAsSeenAtTheLastRefresh) {
  const struct {
    const char* read;
    RateLimitWindow window;
    const char* title;  // "": no row
  } cases[] = {
      {"2025-03-21T09:02:10.000Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
       "5-hour: 63% used • resets 15:38"},
      {"2025-03-21T09:02:10.000Z", window(97, 300, "2025-03-21T10:00:00.000Z"),
       "5-hour: reset at 11:00"},
      {"2025-03-21T09:02:10.000Z", window(97, 300, "2025-03-20T20:00:00.000Z"),
       "5-hour: reset at Thu 21:00"},
      // Without a reset time; shown for seven days from the reading, and not a moment longer.
      {"2025-03-14T10:00:00.000Z", window(35, 299), "5-hour: 35% used (as of Fri 11:00)"},
      {"2025-03-14T09:59:59.999Z", window(35, 299), ""},
  };
  for (const auto& c : cases) {
    refreshWithLimits(c.read, c.window);
    std::string titles;
    for (const PlanLimitRow& row : planLimitRows(*viewModel_)) {
      titles += row.title;
    }
    EXPECT_EQ(c.title, titles) << c.read;
  }
}

TEST_F(PlanLimitRowsTest, ThresholdAndFullUseEachNotifyOncePerPeriod) {
  const std::string threshold = "5-hour limit: 90% used | Resets 15:38.";
  const std::string full = "5-hour limit reached | Resets 15:38.";
  const struct {
    std::optional<std::int64_t> preference;
    std::vector<double> readings;
    std::vector<std::string> shown;
  } cases[] = {
      {std::nullopt, {85, 90, 95, 100, 100}, {threshold, full}},
      {std::nullopt, {50, 100, 95}, {full}},
      {std::nullopt, {10, 89.9}, {}},
      {80, {79, 81, 84}, {"5-hour limit: 81% used | Resets 15:38."}},
      {0, {95, 100}, {}},
      {-1, {95, 100}, {}},
      {150, {95, 100}, {full}},
  };
  for (const auto& c : cases) {
    notices_.emplace(*this, preferences_);
    shown_.clear();
    preferences_.integers.erase(LimitNotices::kThresholdKey);
    if (c.preference) {
      preferences_.integers[LimitNotices::kThresholdKey] = *c.preference;
    }
    clock_.set(at("2025-03-21T10:00:00.000Z"));
    for (double used : c.readings) {
      readPrimary(used);
    }
    EXPECT_EQ(c.shown, shown_) << &c - cases;
  }
}

TEST_F(PlanLimitRowsTest, EachPeriodNotifiesAgainAndAnEndedOneStaysQuiet) {
  readPrimary(99, "2025-03-21T10:00:45.000Z");  // the reset passed before the refresh
  readPrimary(95);
  clock_.set(at("2025-03-21T14:40:00.000Z"));  // past the reset at 15:38:45 local
  readPrimary(96, "2025-03-21T19:38:00.000Z");
  readPrimary(100, "2025-03-21T19:38:01.000Z");  // the agent's reset times wobble by a second
  // Without a reset time a period lasts one window length from its first reading.
  clock_.set(at("2025-03-21T20:00:00.000Z"));
  readPrimary(92, "");
  readPrimary(93, "");
  clock_.advance(std::chrono::hours(5));
  readPrimary(94, "");
  EXPECT_EQ((std::vector<std::string>{
                "5-hour limit: 95% used | Resets 15:38.", "5-hour limit: 96% used | Resets 20:38.",
                "5-hour limit reached | Resets 20:38.", "5-hour limit: 92% used | As of 21:00.",
                "5-hour limit: 94% used | As of 02:02."}),
            shown_);
}

}  // namespace
}  // namespace nubrel::testing
