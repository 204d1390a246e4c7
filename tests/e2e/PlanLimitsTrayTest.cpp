// The plan's limits in the real nubrel program's menu, read over D-Bus as a panel reads it, on
// the agent 0.58 sample log with the program's clock pinned (libfaketime) a little after the
// log's last line.
#include <fstream>

#include "e2e/TrayFixture.h"

namespace nubrel::testing {
namespace {

constexpr const char* kSample =
    "rollout-2025-11-17T15-30-28-019a93b9-f380-7600-98ff-940e6b99603c.jsonl";

class PlanLimitsTrayTest : public TrayFixture {
 protected:
  // The sample below its day's directory, and the program's environment: Berlin, 23:00 on
  // Monday 17 November 2025 (22:00 UTC), 21 minutes after the log's last line. The clock runs on
  // from there; the monotonic clock, which the main loop's timers use, is left alone.
  std::map<std::string, std::string> pinnedEnvironment() {
    const std::filesystem::path codexHome = desktop_->root() / "codex";
    const std::filesystem::path day = codexHome / "sessions/2025/11/17";
    std::filesystem::create_directories(day);
    std::filesystem::copy_file(std::filesystem::path(NUBREL_SAMPLES_DIR) / kSample, day / kSample);
    const std::string asan = desktop_->environment()["ASAN_OPTIONS"];
    return {{"CODEX_HOME", codexHome.string()},
            {"TZ", "Europe/Berlin"},
            {"LD_PRELOAD", NUBREL_FAKETIME_LIBRARY},
            {"FAKETIME", "@2025-11-17 23:00:00"},  // local time, as libfaketime reads it
            {"FAKETIME_DONT_FAKE_MONOTONIC", "1"},
            // A sanitizer build wants its runtime first among the libraries; libfaketime is
            // preloaded ahead of it here, which is harmless.
            {"ASAN_OPTIONS", asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0"}};
  }
};

TEST_F(PlanLimitsTrayTest, LimitsBlockSitsBetweenTodayAndRecent) {
  if (std::string(NUBREL_FAKETIME_LIBRARY).empty()) {
    GTEST_SKIP() << "libfaketime is not installed (scripts/install-deps.sh installs it)";
  }
  startPanel();
  const TrayItemReader item = startRegisteredNubrel(pinnedEnvironment());
  // The sample's usage of that day, as the terminal report's test works it out.
  ASSERT_EQ("1.12M • $0.44", waitForLabel(item, "1.12M • $0.44"));
  // Its newest line: the 5-hour window at 64% until 23:38:44 UTC, the week at 43% until
  // Sunday 15:01:48 UTC; both reset after today, so each names its weekday.
  const std::vector<std::string> expected = {
      "Today (disabled)",
      "Input: 71.93K • $0.09 [icon]",
      "Cached: 1.03M • $0.13 [icon]",
      "Output: 2.79K • $0.03 [icon]",
      "Reasoning: 19.52K • $0.20 [icon]",
      "---",
      "Limits (disabled)",
      "5-hour: 64% used • resets Tue 00:38 [icon] (disabled)",
      "Weekly: 43% used • resets Sun 16:01 [icon] (disabled)",
      "---",
      "Recent (disabled)",
      "This Month (November 2025): 1.12M • $0.44 [icon]",
      "---",
      "Check for Updates...",
      "Refresh Now",
      "Quit Nubrel"};
  EXPECT_EQ(expected, item.menuTexts());
}

}  // namespace
}  // namespace nubrel::testing
