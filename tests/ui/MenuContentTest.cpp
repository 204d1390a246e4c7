// The menu and the formatting of its figures.
#include "ui/MenuContent.h"

#include <limits>

#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

TEST(TokenUsageFormatterTest, CountsPickTheirUnitBeforeRoundingAndTheSummarySaturates) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::pair<std::int64_t, const char*> cases[] = {
      {999, "999"},       {1'000, "1K"},     {1'234, "1.23K"},       {1'500, "1.5K"},
      {999'999, "1000K"}, {1'000'000, "1M"}, {999'999'999, "1000M"}, {2'500'000'000, "2.5B"},
      {-999, "-999"},     {-1'500, "-1.5K"}};
  for (const auto& [count, text] : cases) {
    EXPECT_EQ(text, TokenUsageFormatter{}.formatTokens(count)) << count;
  }
  EXPECT_EQ("-9223372036.85B", TokenUsageFormatter{}.formatTokens(-kMax - 1));
  // Rows of 0, max, 0 and max tokens: their sum saturates, their cost is exact.
  const TokenTotals most{kMax, kMax, kMax, kMax, kMax};
  EXPECT_EQ("9223372036.85B • $93386641873154.61",
            TokenUsageFormatter{}.summary(most, costOf(most, PriceTable::kFallback, false)));
}

class MenuContentTest : public ViewModelFixture, public UpdaterControlling {
 protected:
  bool canCheckForUpdates() const override { return canCheck_; }
  void checkForUpdates() override { ++checks_; }

  MenuDescription menu(bool withUpdater = true) {
    return MenuContent(viewModel_, withUpdater ? updater_ : nullptr, [this] { ++quits_; })
        .describe();
  }
  // A line per entry: "# Today", "Input: 0 • $0.00 [tray.and.arrow.down] (off)", "--", "> Quit ^q".
  std::string render(bool withUpdater = true) {
    std::string text;
    for (const MenuEntry& entry : menu(withUpdater).entries) {
      static const char* const kPrefixes[] = {"# ", "", "--", "> "};
      text += kPrefixes[static_cast<int>(entry.kind)] + entry.title +
              (entry.iconName ? " [" + *entry.iconName + "]" : "") +
              (entry.keyEquivalent ? std::string(" ^") + *entry.keyEquivalent : "") +
              (entry.enabled ? "\n" : " (off)\n");
    }
    return text;
  }

  std::shared_ptr<UpdaterControlling> updater_{this, [](UpdaterControlling*) {}};
  bool canCheck_ = false;
  int checks_ = 0, quits_ = 0;
  const std::string kCommands =
      "> Check for Updates... (off)\n> Refresh Now ^r\n> Quit Nubrel ^q\n";
};

TEST_F(MenuContentTest, TodayLimitsRecentDaysAndTheMonthFollowEachOther) {
  source_->days[dayKey(0)] = {2'000'000, 400'000, 100'000, 20'000, 0};
  source_->days[dayKey(1)] = usage(1'000'000);
  source_->days[dayKey(3)] = usage(0, 1'000);
  source_->months["2025-03"] = usage(2'000'000);
  refreshWithLimits("2025-03-21T09:02:10.000Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                    window(43, 10080, "2025-03-24T08:01:48.000Z"));
  EXPECT_EQ(
      "# Today\nInput: 1.6M • $2.00 [tray.and.arrow.down]\n"
      "Cached: 400K • $0.05 [internaldrive]\nOutput: 80K • $0.80 [arrow.up.right]\n"
      "Reasoning: 20K • $0.20 [brain.head.profile]\n--\n# Limits\n"
      "5-hour: 63% used • resets 15:38 [gauge.medium] (off)\n"
      "Weekly: 43% used • resets Mon 09:01 [gauge.medium] (off)\n--\n# Recent\n"
      "Yesterday: 1M • $1.25 [calendar]\n18th March 2025: 1K • $0.01 [calendar]\n--\n"
      "This Month (March 2025): 2M • $2.50 [calendar.badge.clock]\n--\n" +
          kCommands,
      render());
  const MenuDescription description = menu();
  EXPECT_EQ("chart.bar.fill 2.1M • $3.05", description.iconName + " " + description.title);
  // The tooltip and the status bars carry today's rows and the limits.
  EXPECT_EQ(
      "Input: 1.6M • $2.00\nCached: 400K • $0.05\nOutput: 80K • $0.80\nReasoning: 20K • "
      "$0.20\n5-hour: 63% used • resets 15:38\nWeekly: 43% used • resets Mon 09:01",
      description.details);
}

TEST_F(MenuContentTest, CommandsActOnTheirTargetsWhileTheyLive) {
  start();
  EXPECT_EQ("hourglass", menu().iconName);
  EXPECT_EQ(kCommands, render()) << "nothing else while loading";
  loop_.runUntilIdle();
  canCheck_ = true;
  EXPECT_TRUE(render(false).ends_with(kCommands)) << "no updater, nothing to check with";
  const std::vector<MenuEntry> entries = menu().entries;
  const MenuEntry& check = entries.rbegin()[2];
  const MenuEntry& refresh = entries.rbegin()[1];
  EXPECT_TRUE(check.enabled);
  check.action();
  EXPECT_EQ(1, checks_);
  refresh.action();
  refresh.action();  // while loading: no second job
  EXPECT_EQ(1u, loop_.pendingTasks());
  entries.back().action();
  EXPECT_EQ(1, quits_);
  loop_.runUntilIdle();
  viewModel_.reset();
  refresh.action();
  EXPECT_EQ(0u, loop_.pendingTasks()) << "the view model is held weakly";
}

}  // namespace
}  // namespace nubrel::testing
