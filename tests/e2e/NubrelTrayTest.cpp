// The real nubrel program as a panel sees it: its item's label, icon, title and tooltip, and its
// menu read over com.canonical.dbusmenu, for each state the menu can be in, clicks on the item
// and on its commands, signals, and a second start.
#include <csignal>
#include <cstdio>

#include "e2e/SessionTree.h"
#include "e2e/TrayFixture.h"
#include "e2e/XEmbedTray.h"

namespace nubrel::testing {
namespace {

using Menu = std::vector<std::string>;

// No shortcuts are exported: see GtkTrayMenu.
const Menu kCommands = {"Check for Updates...", "Refresh Now", "Quit Nubrel"};
const std::string kTodayDetails =
    "Input: 1.6M • $2.00\nCached: 400K • $0.05\nOutput: 100K • $1.00\nReasoning: 20K • $0.20";

// 2.12M tokens for $3.25, as in the formatter's own example.
constexpr TokenTotals kTodayUsage = {.inputTokens = 2'000'000,
                                     .cachedInputTokens = 400'000,
                                     .outputTokens = 120'000,
                                     .reasoningOutputTokens = 20'000,
                                     .totalTokens = 2'120'000};
const Menu kTodayBlock = {"Today (disabled)",
                          "Input: 1.6M • $2.00 [icon]",
                          "Cached: 400K • $0.05 [icon]",
                          "Output: 100K • $1.00 [icon]",
                          "Reasoning: 20K • $0.20 [icon]",
                          "---"};
const Menu kZeroBlock = {
    "Today (disabled)",         "Input: 0 • $0.00 [icon]",     "Cached: 0 • $0.00 [icon]",
    "Output: 0 • $0.00 [icon]", "Reasoning: 0 • $0.00 [icon]", "---"};

// n million uncached input tokens: "nM • $1.25n".
TokenTotals millions(int n) {
  return {.inputTokens = n * 1'000'000LL, .totalTokens = n * 1'000'000LL};
}
std::string millionsSummary(int n, double extraDollars = 0, double extraMillions = 0) {
  char text[64];
  const double tokens = n + extraMillions;
  if (tokens == static_cast<int>(tokens)) {
    std::snprintf(text, sizeof text, "%dM • $%.2f", static_cast<int>(tokens),
                  1.25 * n + extraDollars);
  } else {
    std::snprintf(text, sizeof text, "%.2fM • $%.2f", tokens, 1.25 * n + extraDollars);
  }
  return text;
}

Menu concat(std::initializer_list<Menu> parts) {
  Menu all;
  for (const Menu& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

class NubrelTrayTest : public TrayFixture {
 protected:
  void SetUp() override {
    TrayFixture::SetUp();
    codexHome_ = desktop_->root() / "codex";
    tree_ = std::make_unique<SessionTree>(codexHome_ / "sessions");
  }
  std::map<std::string, std::string> environment() const {
    return {{"CODEX_HOME", codexHome_.string()}, {"TZ", tree_->timeZone()}};
  }
  TrayItemReader startWithPanel() {
    startPanel();
    return startRegisteredNubrel(environment());
  }
  void addFullHistory() {
    tree_->addUsage(0, kTodayUsage);
    for (int daysAgo : {1, 2, 3, 4, 5, 6, 10}) {
      tree_->addUsage(daysAgo, millions(daysAgo));
    }
  }
  // Past days listed newest first, then the month: today's usage and each day of this month.
  Menu fullHistoryBlock() const {
    Menu block = {"Recent (disabled)"};
    int monthMillions = 0;
    for (int daysAgo : {1, 2, 3, 4, 5, 6}) {
      block.push_back(tree_->dayLabel(daysAgo) + ": " + millionsSummary(daysAgo) + " [icon]");
    }
    for (int daysAgo : {1, 2, 3, 4, 5, 6, 10}) {
      monthMillions += tree_->inThisMonth(daysAgo) ? daysAgo : 0;
    }
    block.push_back("---");
    block.push_back(tree_->monthLabel() + ": " + millionsSummary(monthMillions, 3.25, 2.12) +
                    " [icon]");
    block.push_back("---");
    return block;
  }

  std::filesystem::path codexHome_;
  std::unique_ptr<SessionTree> tree_;
};

TEST_F(NubrelTrayTest, ShowsZerosWhenNothingWasLoggedToday) {
  startPanel();
  // A tree without today's directory, and no tree at all: both are a day without usage.
  tree_->addUsage(40, millions(1));
  for (bool withTree : {true, false}) {
    if (!withTree) {
      std::filesystem::remove_all(codexHome_);
    }
    const TrayItemReader item = startRegisteredNubrel(environment());
    EXPECT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00")) << withTree;
    EXPECT_EQ("0 • $0.00", item.property("Title"));
    EXPECT_EQ("nubrel-chart-bar-fill", item.property("IconName"));
    EXPECT_EQ(concat({kZeroBlock, kCommands}), item.menuTexts()) << withTree;
    nubrel_->signal(SIGTERM);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(0, nubrel_->exitStatus());
  }
}

// The item is on screen, loading, before the first refresh has read the logs: with a large
// tree that refresh takes a while, and the panel shows the hourglass meanwhile.
TEST_F(NubrelTrayTest, ShowsItsItemLoadingUntilTheFirstRefreshHasPublished) {
  tree_->addUsage(0, kTodayUsage);
  tree_->addOtherLines(0, 300'000);
  const TrayItemReader item = startWithPanel();
  const TrayItemReader::Snapshot loading = item.snapshot();
  EXPECT_EQ("Loading…", loading.label);
  EXPECT_EQ("nubrel-hourglass", loading.iconName);
  EXPECT_EQ(TrayItemReader::ToolTip({"Loading…", ""}), loading.toolTip);
  EXPECT_EQ(kCommands, loading.menu);

  EXPECT_EQ("2.12M • $3.25", waitForLabel(item, "2.12M • $3.25"));
  EXPECT_EQ("nubrel-chart-bar-fill", item.property("IconName"));
  EXPECT_EQ("2.12M • $3.25", item.property("Title"));
  EXPECT_EQ(TrayItemReader::ToolTip({"2.12M • $3.25", kTodayDetails}), item.toolTip());
  EXPECT_EQ("88.88M • $88.88", item.property("XAyatanaLabelGuide"));
  // Usage today only: no past day to list, yet a month, which follows its heading directly.
  const Menu recentAndMonth = {"Recent (disabled)", tree_->monthLabel() + ": 2.12M • $3.25 [icon]",
                               "---"};
  EXPECT_EQ(concat({kTodayBlock, recentAndMonth, kCommands}), item.menuTexts());
}

TEST_F(NubrelTrayTest, ListsPastDaysNewestFirstAndTheMonthSoFar) {
  addFullHistory();
  const TrayItemReader item = startWithPanel();
  EXPECT_EQ("2.12M • $3.25", waitForLabel(item, "2.12M • $3.25"));
  EXPECT_EQ(concat({kTodayBlock, fullHistoryBlock(), kCommands}), item.menuTexts());
  EXPECT_EQ(item.menuPath(), item.property("Menu"));
  const std::optional<std::string> iconFolder = item.property("IconThemePath");
  ASSERT_TRUE(iconFolder.has_value());
  EXPECT_TRUE(std::filesystem::exists(*iconFolder + "/nubrel-chart-bar-fill.svg")) << *iconFolder;
  EXPECT_TRUE(std::filesystem::exists(*iconFolder + "/nubrel-hourglass.svg")) << *iconFolder;
  // The same icon as pixels, for hosts that do not look names up in the item's folder.
  EXPECT_EQ(std::vector<std::string>({"22x22+", "44x44+"}), item.iconPixmaps());
}

// Hosts re-read the tooltip only on NewToolTip, so each change of the figures must send one.
TEST_F(NubrelTrayTest, RefreshNowPicksUpALineAppendedToTodaysLog) {
  tree_->addUsage(0, kTodayUsage);
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("2.12M • $3.25", waitForLabel(item, "2.12M • $3.25"));
  int newToolTips = 0;
  const guint subscription = g_dbus_connection_signal_subscribe(
      bus_.get(), nullptr, "org.kde.StatusNotifierItem", "NewToolTip", nullptr, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
         gpointer data) { ++*static_cast<int*>(data); },
      &newToolTips, nullptr);
  tree_->addUsage(0, millions(1));
  ASSERT_TRUE(item.click("Refresh Now"));
  EXPECT_EQ("3.12M • $4.50", waitForLabel(item, "3.12M • $4.50"));
  const Menu today = item.menuTexts();
  ASSERT_FALSE(today.empty());
  EXPECT_EQ("Input: 2.6M • $3.25 [icon]", today.at(1));
  const std::optional<TrayItemReader::ToolTip> toolTip = item.toolTip();
  ASSERT_TRUE(toolTip.has_value());
  EXPECT_EQ("3.12M • $4.50", toolTip->title);
  EXPECT_TRUE(toolTip->text.starts_with("Input: 2.6M • $3.25\n")) << toolTip->text;
  // Loading, then the new figures; the last one may still be on its way.
  EXPECT_TRUE(waitUntil([&] { return newToolTips >= 2; })) << newToolTips;
  g_dbus_connection_signal_unsubscribe(bus_.get(), subscription);
}

// Hosts without a menu of their own for the item (lxqt-panel, MATE's notification area) call
// Activate on a left click: the menu opens where the pointer is. A middle click
// (SecondaryActivate) has nothing to do and must harm nothing.
TEST_F(NubrelTrayTest, ActivateOpensTheMenuAndSecondaryActivateDoesNothing) {
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00"));
  ASSERT_EQ(0, desktop_->mappedPopups());
  EXPECT_TRUE(item.call("SecondaryActivate", g_variant_new("(ii)", 10, 10)));
  EXPECT_TRUE(item.call("XAyatanaSecondaryActivate", g_variant_new("(u)", 0u)));
  EXPECT_TRUE(item.call("Scroll", g_variant_new("(is)", 1, "vertical")));
  EXPECT_EQ(0, desktop_->mappedPopups());
  EXPECT_TRUE(item.call("Activate", g_variant_new("(ii)", 10, 10)));
  EXPECT_TRUE(waitUntil([&] { return desktop_->mappedPopups() == 1; }));
  // The open menu holds the pointer; the item still answers and still works.
  EXPECT_EQ(concat({kZeroBlock, kCommands}), item.menuTexts());
  ASSERT_TRUE(item.click("Refresh Now"));
  EXPECT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00"));
}

// One item per session: a second start finds the first by its bus name and leaves quietly.
TEST_F(NubrelTrayTest, SecondStartExitsWithStatusZeroAndNoSecondItem) {
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00"));
  std::map<std::string, std::string> env = desktop_->environment();
  env.merge(environment());
  ChildProcess second({NUBREL_BINARY}, env, desktop_->root() / "second");
  ASSERT_TRUE(waitUntil([&] { return second.hasEnded(); }));
  EXPECT_EQ(0, second.exitStatus());
  EXPECT_EQ("", second.standardError());
  EXPECT_EQ("", second.standardOutput());
  EXPECT_EQ(1u, panel_->registrations().size());
  EXPECT_EQ("0 • $0.00", item.property("XAyatanaLabel")) << "the first one runs on";
}

// A signal that arrives while the first refresh of a large tree reads the logs still ends the
// program through its quit path: exit status 0, nothing printed, not killed by the signal.
TEST_F(NubrelTrayTest, SigtermDuringTheFirstRefreshEndsCleanly) {
  tree_->addUsage(0, kTodayUsage);
  tree_->addOtherLines(0, 300'000);
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("Loading…", item.property("XAyatanaLabel"));
  nubrel_->signal(SIGTERM);
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(std::nullopt, nubrel_->terminatingSignal());
  EXPECT_EQ(0, nubrel_->exitStatus());
}

// The real service fails only in ways that the view model shows as a day without usage. The one
// such failure a user can cause is the sessions directory going away: the figures turn to
// zeros, and because usage was seen before, the recent days and the month stay.
TEST_F(NubrelTrayTest, VanishedSessionsDirectoryShowsZerosAndKeepsTheHistory) {
  addFullHistory();
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("2.12M • $3.25", waitForLabel(item, "2.12M • $3.25"));
  const Menu history = fullHistoryBlock();
  std::filesystem::remove_all(codexHome_ / "sessions");
  ASSERT_TRUE(item.click("Refresh Now"));
  EXPECT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00"));
  EXPECT_EQ(concat({kZeroBlock, history, kCommands}), item.menuTexts());
}

TEST_F(NubrelTrayTest, QuitNubrelEndsTheProcessWithStatusZero) {
  const TrayItemReader item = startWithPanel();
  ASSERT_EQ("0 • $0.00", waitForLabel(item, "0 • $0.00"));
  item.click("Quit Nubrel");  // the reply may or may not make it out before the exit
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(0, nubrel_->exitStatus());
  EXPECT_FALSE(item.property("XAyatanaLabel").has_value()) << "its bus name should be gone";
}

// Without a StatusNotifierItem host, an older tray gets the plain icon; the item is still served.
TEST_F(NubrelTrayTest, RunsWithoutAPanelAndEndsCleanlyOnSigtermSigintOrSighup) {
  tree_->addUsage(0, kTodayUsage);
  int added = 0;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    XEmbedTray tray(desktop_->display());
    startNubrel(environment());
    EXPECT_TRUE(waitUntil([&] { return tray.dockRequests().size() == 1; })) << signal;
    const TrayItemReader item = findNubrelItem();
    // Nobody shows it, but the item and its menu are served and work. (Each appended event
    // differs from the one before: the reader drops an event repeated right after itself.)
    const std::string before = millionsSummary(added, 3.25, 2.12);
    EXPECT_EQ(before, waitForLabel(item, before));
    const int more = signal == SIGINT ? 2 : 1;
    tree_->addUsage(0, millions(more));
    added += more;
    EXPECT_TRUE(item.click("Refresh Now"));
    const std::string after = millionsSummary(added, 3.25, 2.12);
    EXPECT_EQ(after, waitForLabel(item, after));
    nubrel_->signal(signal);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(0, nubrel_->exitStatus()) << signal;
  }
}

// The plain icon stands in while no panel has the item, and only then.
TEST_F(NubrelTrayTest, ItemComesBackWhenThePanelRestartsOrStartsLate) {
  tree_->addUsage(0, kTodayUsage);
  XEmbedTray tray(desktop_->display());
  startNubrel(environment());
  waitForLabel(findNubrelItem(), "2.12M • $3.25");
  EXPECT_TRUE(waitUntil([&] { return tray.showsAnIcon(); }));
  // A panel that starts after the program finds its item…
  startPanel();
  ASSERT_TRUE(waitUntil([&] { return panel_->registrations().size() == 1; }));
  EXPECT_TRUE(waitUntil([&] { return !tray.showsAnIcon(); }));
  // …and so does the next panel after a restart; meanwhile the plain icon is back.
  stopPanel();
  EXPECT_TRUE(waitUntil([&] { return tray.showsAnIcon(); }));
  startPanel();
  ASSERT_TRUE(waitUntil([&] { return panel_->registrations().size() == 1; }));
  const PanelHost::Registration registration = panel_->registrations().front();
  const TrayItemReader item(bus_.get(), registration.busName, registration.objectPath);
  EXPECT_EQ("2.12M • $3.25", item.property("XAyatanaLabel"));
  EXPECT_TRUE(waitUntil([&] { return !tray.showsAnIcon(); }));
  const Menu menu = item.menuTexts();
  ASSERT_GE(menu.size(), kTodayBlock.size());
  EXPECT_EQ(kTodayBlock, Menu(menu.begin(), menu.begin() + 6));
}

}  // namespace
}  // namespace nubrel::testing
