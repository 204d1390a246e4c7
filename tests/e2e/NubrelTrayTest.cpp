// The real nubrel program as a panel sees it: its item's label, icon, tooltip and menu as it
// loads and refreshes, its commands, signals and a second start.
#include <algorithm>
#include <csignal>

#include "e2e/Desktop.h"

namespace nubrel::testing {
namespace {

using Menu = std::vector<std::string>;

const Menu kCommands = {"Check for Updates...", "Refresh Now", "Quit Nubrel"};
// Input, cached, output, reasoning, total, cache writes: 2.12M tokens for $3.25.
constexpr TokenTotals kTodayUsage = {2'000'000, 400'000, 120'000, 20'000, 2'120'000, 0};
const Menu kTodayBlock = {"Today (disabled)",
                          "Input: 1.6M • $2.00 [icon]",
                          "Cached: 400K • $0.05 [icon]",
                          "Output: 100K • $1.00 [icon]",
                          "Reasoning: 20K • $0.20 [icon]",
                          "---"};
const Menu kZeroBlock = {
    "Today (disabled)",         "Input: 0 • $0.00 [icon]",     "Cached: 0 • $0.00 [icon]",
    "Output: 0 • $0.00 [icon]", "Reasoning: 0 • $0.00 [icon]", "---"};

Menu concat(std::initializer_list<Menu> parts) {
  Menu all;
  for (const Menu& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

class NubrelTrayTest : public DesktopTest {
 protected:
  // Today's usage and yesterday's million input tokens; returns the recent days and the month as
  // the menu shows them.
  Menu addHistory() {
    tree_.addUsage(0, kTodayUsage);
    tree_.addUsage(1, {.inputTokens = 1'000'000, .totalTokens = 1'000'000});
    const std::string month = tree_.inThisMonth(1) ? "3.12M • $4.50" : "2.12M • $3.25";
    return {"Recent (disabled)", "Yesterday: 1M • $1.25 [icon]", "---",
            tree_.monthLabel() + ": " + month + " [icon]", "---"};
  }
};

// The item is up, loading, before the first refresh has read a large tree; the menu is read
// first, so that a label still loading vouches for it. With libfaketime the program's clock runs
// a hundred times slow: its 2 s patience with a silent panel would outlast the test's, so the
// figures show only if the panel's answer let the first refresh start.
TEST_F(NubrelTrayTest, ShowsLoadingUntilTheFirstRefreshThenTheDayAndItsHistory) {
  const Menu history = addHistory();
  tree_.addLimits(0, 63, 23);
  tree_.addOtherLines(0, 300'000);
  // The sanitizer runtime would rather come first among the libraries; harmless here.
  startNubrel({{"LD_PRELOAD", NUBREL_FAKETIME_LIBRARY},
               {"FAKETIME", "+0 x0.01"},
               {"ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0"}});
  EXPECT_EQ(kCommands, menu());
  std::map<std::string, std::string> shown = properties();
  EXPECT_EQ("Loading…", shown["XAyatanaLabel"]);
  EXPECT_EQ("nubrel-hourglass", shown["IconName"]);
  EXPECT_EQ("Loading…\n", shown["ToolTip"]);

  ASSERT_EQ("2.12M • $3.25", waitForLabel("2.12M • $3.25"));
  const Menu limits = {"Limits (disabled)", "5-hour: 63% used • resets 23:00 [icon] (disabled)",
                       "---"};
  EXPECT_EQ(concat({kTodayBlock, limits, history, kCommands}), menu());
  shown = properties();
  EXPECT_EQ("nubrel-chart-bar-fill", shown["IconName"]);
  EXPECT_EQ(
      "2.12M • $3.25\nInput: 1.6M • $2.00\nCached: 400K • $0.05\nOutput: 100K • $1.00\n"
      "Reasoning: 20K • $0.20\n5-hour: 63% used • resets 23:00",
      shown["ToolTip"]);
  EXPECT_EQ("88.88M • $88.88", shown["XAyatanaLabelGuide"]);
  EXPECT_EQ("/org/ayatana/NotificationItem/nubrel/Menu", shown["Menu"]);
  EXPECT_TRUE(std::filesystem::exists(shown["IconThemePath"] + "/nubrel-chart-bar-fill.svg"));
  // The same icon as pixels, for hosts that do not look names up in the item's folder.
  EXPECT_EQ("22x22+ 44x44+", shown["IconPixmap"]);
}

// A line appended to today's log shows at Refresh Now. When the sessions directory goes, the
// figures turn to zeros; since usage was seen before, the recent days and the month stay.
TEST_F(NubrelTrayTest, RefreshNowFollowsTheLogsAndKeepsTheHistoryWhenTheyGo) {
  addHistory();
  startNubrel();
  ASSERT_EQ("2.12M • $3.25", waitForLabel("2.12M • $3.25"));
  tree_.addUsage(0, {.inputTokens = 1'000'000, .totalTokens = 1'000'000});
  ASSERT_TRUE(click("Refresh Now"));
  EXPECT_EQ("3.12M • $4.50", waitForLabel("3.12M • $4.50"));
  EXPECT_EQ("Input: 2.6M • $3.25 [icon]", menu().at(1));
  EXPECT_TRUE(properties()["ToolTip"].starts_with("3.12M • $4.50\nInput: 2.6M • $3.25\n"));
  const Menu before = menu();
  std::filesystem::remove_all(tree_.codexHome() / "sessions");
  ASSERT_TRUE(click("Refresh Now"));
  EXPECT_EQ("0 • $0.00", waitForLabel("0 • $0.00"));
  EXPECT_EQ(concat({kZeroBlock, Menu(before.begin() + 6, before.end())}), menu());
}

// The command is disabled while a check runs and enabled again as soon as it ends, not at the
// next refresh. The feed's port takes the connection and answers only by hanging up.
TEST_F(NubrelTrayTest, CheckForUpdatesIsDisabledWhileTheCheckRuns) {
  const auto shows = [](const std::string& entry) {
    const Menu entries = menu();
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  };
  startNubrel();
  ASSERT_EQ("0 • $0.00", waitForLabel("0 • $0.00"));
  ASSERT_TRUE(click("Check for Updates..."));
  EXPECT_TRUE(waitUntil([&] { return shows("Check for Updates... (disabled)"); }));
  int hungUp = 0;
  EXPECT_TRUE(waitUntil([&] {
    hungUp += hangUpUpdateChecks();
    return hungUp > 0 && shows("Check for Updates...");
  }));
}

// One item per session: a second start finds the first by its bus name and leaves quietly. The
// first runs on until Quit Nubrel, whose reply may or may not make it out before the exit.
TEST_F(NubrelTrayTest, SecondStartLeavesQuietlyAndQuitEndsTheFirst) {
  startNubrel();
  ASSERT_EQ("0 • $0.00", waitForLabel("0 • $0.00"));
  std::unique_ptr<Program> first = std::move(nubrel_);
  startNubrel();
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(0, nubrel_->exitStatus());
  finishNubrel();
  nubrel_ = std::move(first);
  EXPECT_EQ(1u, panel_->paths.size());
  click("Quit Nubrel");
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(0, nubrel_->exitStatus());
  EXPECT_TRUE(properties().empty()) << "its bus name should be gone";
}

// SIGTERM, Ctrl+C and SIGHUP end the program through its quit path, even while the first
// refresh of a large tree reads the logs.
TEST_F(NubrelTrayTest, EndsCleanlyOnSigtermSigintOrSighupWhileLoading) {
  tree_.addUsage(0, kTodayUsage);
  tree_.addOtherLines(0, 300'000);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    startNubrel();
    EXPECT_EQ("Loading…", label()) << signal;
    nubrel_->signal(signal);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(0, nubrel_->exitStatus()) << signal;
  }
}

}  // namespace
}  // namespace nubrel::testing
