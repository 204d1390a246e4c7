#include "ui/MenuContent.h"

#include "viewmodel/LimitsFixture.h"

namespace nubrel::testing {
namespace {

// The application's updater controller lives in the tray program; this one answers as told and
// counts the checks asked of it.
class RecordingUpdater : public UpdaterControlling {
 public:
  bool canCheckForUpdates() const override { return canCheck; }
  void checkForUpdates() override { ++checks; }
  bool canCheck = true;
  int checks = 0;
};

class MenuContentTest : public LimitsFixture {
 protected:
  MenuDescription menu() const {
    return MenuContent(viewModel_, updater_, [this] { ++quits_; }).describe();
  }
  // "heading Today", "row Input: 0 • $0.00 [tray.and.arrow.down]", "separator",
  // "command Refresh Now ^r", with " (disabled)" where it applies.
  std::vector<std::string> lines() const {
    static const char* const kKinds[] = {"heading", "row", "separator", "command"};
    std::vector<std::string> result;
    for (const MenuEntry& entry : menu().entries) {
      result.push_back(kKinds[static_cast<int>(entry.kind)] +
                       (entry.title.empty() ? "" : " " + entry.title) +
                       (entry.iconName ? " [" + *entry.iconName + "]" : "") +
                       (entry.keyEquivalent ? std::string(" ^") + *entry.keyEquivalent : "") +
                       (entry.enabled ? "" : " (disabled)"));
    }
    return result;
  }
  // The entries between the today block and the commands.
  std::vector<std::string> historyLines() const {
    const auto all = lines();
    return {all.begin() + 6, all.end() - 3};
  }

  const std::vector<std::string> kCommands = {"command Check for Updates...",
                                              "command Refresh Now ^r", "command Quit Nubrel ^q"};
  std::shared_ptr<RecordingUpdater> updater_ = std::make_shared<RecordingUpdater>();
  mutable int quits_ = 0;
};

TEST_F(MenuContentTest, BeforeTheFirstRefreshOnlyTheCommandsShow) {
  start();
  EXPECT_EQ("hourglass", menu().iconName);
  EXPECT_EQ("Loading\u2026", menu().title);
  EXPECT_EQ("", menu().details);
  EXPECT_EQ(kCommands, lines());
}

TEST_F(MenuContentTest, ZeroUsageShowsTheTodayBlockAndNoHistory) {
  refreshFully();
  EXPECT_EQ("chart.bar.fill", menu().iconName);
  EXPECT_EQ("0 \u2022 $0.00", menu().title);
  std::vector<std::string> expected = {"heading Today",
                                       "row Input: 0 \u2022 $0.00 [tray.and.arrow.down]",
                                       "row Cached: 0 \u2022 $0.00 [internaldrive]",
                                       "row Output: 0 \u2022 $0.00 [arrow.up.right]",
                                       "row Reasoning: 0 \u2022 $0.00 [brain.head.profile]",
                                       "separator"};
  expected.insert(expected.end(), kCommands.begin(), kCommands.end());
  EXPECT_EQ(expected, lines());
  EXPECT_EQ(
      "Input: 0 \u2022 $0.00\nCached: 0 \u2022 $0.00\nOutput: 0 \u2022 $0.00\n"
      "Reasoning: 0 \u2022 $0.00",
      menu().details);
}

TEST_F(MenuContentTest, FailedRefreshLeavesOnlyTheCommands) {
  source_->dayFailures[dayKey(0)] = std::make_exception_ptr(std::runtime_error("broken"));
  refreshFully();
  EXPECT_EQ("Token Usage", menu().title);
  EXPECT_EQ(*viewModel_->errorMessage(), menu().details);
  EXPECT_EQ(kCommands, lines());
}

TEST_F(MenuContentTest, MonthWithoutRecentDaysFollowsTheHeadingDirectly) {
  source_->months["2025-03"] = {.inputTokens = 2'000'000,
                                .cachedInputTokens = 400'000,
                                .outputTokens = 100'000,
                                .reasoningOutputTokens = 20'000};
  refreshFully();
  EXPECT_EQ(
      (std::vector<std::string>{
          "heading Recent", "row This Month (March 2025): 2.1M \u2022 $3.05 [calendar.badge.clock]",
          "separator"}),
      historyLines());
}

TEST_F(MenuContentTest, RecentDaysAndTheMonthAreSeparated) {
  source_->days[dayKey(0)] = usage(1'500);
  source_->days[dayKey(1)] = usage(1'000'000);
  source_->days[dayKey(3)] = usage(0, 1'000);
  source_->months["2025-03"] = usage(2'000'000);
  refreshFully();
  EXPECT_EQ("1.5K \u2022 $0.00", menu().title);
  EXPECT_EQ(
      (std::vector<std::string>{
          "heading Recent", "row Yesterday: 1M \u2022 $1.25 [calendar]",
          "row 18th March 2025: 1K \u2022 $0.01 [calendar]", "separator",
          "row This Month (March 2025): 2M \u2022 $2.50 [calendar.badge.clock]", "separator"}),
      historyLines());
}

TEST_F(MenuContentTest, LimitsSitBetweenTodayAndRecentAsDisabledRowsWithAnIcon) {
  source_->days[dayKey(1)] = usage(1'000'000);
  refreshWithLimits("2025-03-21T09:02:10.000Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                    window(43, 10080, "2025-03-24T08:01:48.000Z"));
  EXPECT_EQ(
      (std::vector<std::string>{
          "heading Limits", "row 5-hour: 63% used \u2022 resets 15:38 [gauge.medium] (disabled)",
          "row Weekly: 43% used \u2022 resets Mon 09:01 [gauge.medium] (disabled)", "separator",
          "heading Recent", "row Yesterday: 1M \u2022 $1.25 [calendar]", "separator"}),
      historyLines());
  // The tooltip and the status bars end with the same rows.
  EXPECT_TRUE(MenuContent(viewModel_, nullptr, [] {})
                  .describe()
                  .details.ends_with("\n5-hour: 63% used \u2022 resets 15:38\n"
                                     "Weekly: 43% used \u2022 resets Mon 09:01"));
}

TEST_F(MenuContentTest, CommandsActOnTheirTargets) {
  refreshFully();
  updater_->canCheck = false;
  EXPECT_EQ("command Check for Updates... (disabled)", lines().rbegin()[2]);
  updater_->canCheck = true;
  const MenuDescription description = menu();
  description.entries.rbegin()[2].action();
  EXPECT_EQ(1, updater_->checks);
  description.entries.rbegin()[1].action();
  EXPECT_TRUE(viewModel_->isLoading());
  description.entries.rbegin()[1].action();  // while loading: no second job
  EXPECT_EQ(1u, loop_.pendingTasks());
  description.entries.rbegin()[0].action();
  EXPECT_EQ(1, quits_);
}

// The model switch of a session resumed on another model: each row's cost is the sum over the
// models at their own prices, the title the sum of the rows, and the price list is read anew at
// every refresh.
TEST_F(MenuContentTest, RowsAddEachModelAtItsOwnPriceAsTheListSaysAtEachRefresh) {
  writePrices(R"({"models": {
      "gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30},
      "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
  const TokenTotals big{.inputTokens = 1'000'000, .outputTokens = 100'000};
  const TokenTotals small{.inputTokens = 2'000'000, .outputTokens = 500'000};
  source_->days[dayKey(0)] = big + small;
  source_->dayModels[dayKey(0)] = {{.model = "gpt-5.1-codex-mini", .totals = small},
                                   {.model = "gpt-5.5", .totals = big}};
  refreshFully();
  // Input: 5.00 + 0.50; output: 3.00 + 1.00. At the fallback it would be 3.75 + 6.00.
  EXPECT_EQ("3.6M \u2022 $9.50", menu().title);
  EXPECT_EQ("row Input: 3M \u2022 $5.50 [tray.and.arrow.down]", lines()[1]);
  EXPECT_EQ("row Output: 600K \u2022 $4.00 [arrow.up.right]", lines()[3]);

  writePrices(R"({"models": {"gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30}}})");
  refreshFully();
  EXPECT_EQ("3.6M \u2022 $15.50", menu().title) << "mini now at the fallback: 2.50 + 5.00";
}

}  // namespace
}  // namespace nubrel::testing
