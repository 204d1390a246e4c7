#include "ui/MenuContent.h"

#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

class MenuContentTest : public ViewModelFixture, public UpdaterControlling {
 protected:
  bool canCheckForUpdates() const override { return canCheck_; }
  void checkForUpdates() override { ++checks_; }

  MenuDescription menu(bool withUpdater = true) {
    return MenuContent(viewModel_, withUpdater ? updater_ : nullptr, [this] { ++quits_; })
        .describe();
  }
  // "row Input: 0 • $0.00 [tray.and.arrow.down]", "command Refresh Now ^r", and " (disabled)".
  std::vector<std::string> lines(bool withUpdater = true) {
    static const char* const kKinds[] = {"heading", "row", "separator", "command"};
    std::vector<std::string> result;
    for (const MenuEntry& entry : menu(withUpdater).entries) {
      result.push_back(kKinds[static_cast<int>(entry.kind)] +
                       (entry.title.empty() ? "" : " " + entry.title) +
                       (entry.iconName ? " [" + *entry.iconName + "]" : "") +
                       (entry.keyEquivalent ? std::string(" ^") + *entry.keyEquivalent : "") +
                       (entry.enabled ? "" : " (disabled)"));
    }
    return result;
  }

  std::shared_ptr<UpdaterControlling> updater_{this, [](UpdaterControlling*) {}};
  bool canCheck_ = false;
  int checks_ = 0, quits_ = 0;
  const std::vector<std::string> kCommands = {"command Check for Updates... (disabled)",
                                              "command Refresh Now ^r", "command Quit Nubrel ^q"};
};

TEST_F(MenuContentTest, TodayLimitsRecentDaysAndTheMonthFollowEachOther) {
  source_->days[dayKey(0)] = {2'000'000, 400'000, 100'000, 20'000, 0};
  source_->days[dayKey(1)] = usage(1'000'000);
  source_->days[dayKey(3)] = usage(0, 1'000);
  source_->months["2025-03"] = usage(2'000'000);
  refreshWithLimits("2025-03-21T09:02:10.000Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                    window(43, 10080, "2025-03-24T08:01:48.000Z"));
  const std::string rows[] = {"Input: 1.6M \u2022 $2.00",
                              "Cached: 400K \u2022 $0.05",
                              "Output: 80K \u2022 $0.80",
                              "Reasoning: 20K \u2022 $0.20",
                              "5-hour: 63% used \u2022 resets 15:38",
                              "Weekly: 43% used \u2022 resets Mon 09:01"};
  std::vector<std::string> expected = {
      "heading Today",
      "row " + rows[0] + " [tray.and.arrow.down]",
      "row " + rows[1] + " [internaldrive]",
      "row " + rows[2] + " [arrow.up.right]",
      "row " + rows[3] + " [brain.head.profile]",
      "separator",
      "heading Limits",
      "row " + rows[4] + " [gauge.medium] (disabled)",
      "row " + rows[5] + " [gauge.medium] (disabled)",
      "separator",
      "heading Recent",
      "row Yesterday: 1M \u2022 $1.25 [calendar]",
      "row 18th March 2025: 1K \u2022 $0.01 [calendar]",
      "separator",
      "row This Month (March 2025): 2M \u2022 $2.50 [calendar.badge.clock]",
      "separator"};
  expected.insert(expected.end(), kCommands.begin(), kCommands.end());
  EXPECT_EQ(expected, lines());
  const MenuDescription description = menu();
  EXPECT_EQ("chart.bar.fill", description.iconName);
  EXPECT_EQ("2.1M \u2022 $3.05", description.title);
  // The tooltip and the status bars carry today's rows and the limits.
  EXPECT_EQ(
      rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n" + rows[3] + "\n" + rows[4] + "\n" + rows[5],
      description.details);
}

TEST_F(MenuContentTest, CommandsActOnTheirTargetsWhileTheyLive) {
  start();
  EXPECT_EQ("hourglass", menu().iconName);
  EXPECT_EQ(kCommands, lines()) << "nothing else while loading";
  loop_.runUntilIdle();
  canCheck_ = true;
  EXPECT_EQ(kCommands[0], lines(false).rbegin()[2]) << "no updater, nothing to check with";
  const MenuDescription description = menu();
  EXPECT_TRUE(description.entries.rbegin()[2].enabled);
  description.entries.rbegin()[2].action();
  EXPECT_EQ(1, checks_);
  description.entries.rbegin()[1].action();
  description.entries.rbegin()[1].action();  // while loading: no second job
  EXPECT_EQ(1u, loop_.pendingTasks());
  description.entries.rbegin()[0].action();
  EXPECT_EQ(1, quits_);
  loop_.runUntilIdle();
  viewModel_.reset();
  description.entries.rbegin()[1].action();
  EXPECT_EQ(0u, loop_.pendingTasks()) << "the view model is held weakly";
}

}  // namespace
}  // namespace nubrel::testing
