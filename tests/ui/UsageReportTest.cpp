#include "ui/UsageReport.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>

#include "ui/MenuContent.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

constexpr const char* kOddModel = "o9\x1b[2J\"\\";

class UsageReportTest : public ViewModelFixture {
 protected:
  MenuDescription menu() const { return MenuContent(viewModel_, {}, {}).describe(); }

  // A session on gpt-5.5 resumed on gpt-5.1-codex-mini and back; a model the list does not know,
  // whose id would clear the terminal and end a JSON string; the plan's limits.
  void refreshWithModels() {
    prices_.write("prices.json",
                  R"({"models": {"gpt-5.5": {"input": 5, "cachedInput": 0.5, "output": 30},
        "gpt-5.1-codex-mini": {"input": 0.25, "cachedInput": 0.025, "output": 2}}})");
    const TokenTotals latest{8'021, 800, 89, 8, 8'110}, mini{7'014, 700, 76, 7, 7'090};
    source_->days[dayKey(0)] = latest + mini;
    source_->dayModels[dayKey(0)] = {{.model = "gpt-5.1-codex-mini", .totals = mini},
                                     {.model = "gpt-5.5", .totals = latest}};
    source_->days[dayKey(1)] = usage(1'000'000);
    source_->dayModels[dayKey(1)] = {{.model = kOddModel, .totals = usage(1'000'000)}};
    source_->months["2025-03"] = latest + mini + usage(1'000'000);
    refreshWithLimits("2025-03-21T09:02:10.709Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                      window(43.5, 10079));
  }
};

TEST_F(UsageReportTest, TextFollowsEachFigureWithItsModels) {
  refreshWithModels();
  EXPECT_EQ(
      "15.2K • $0.04\nToday\n  Input: 13.54K • $0.04\n    gpt-5.1-codex-mini: 6.31K • $0.00\n"
      "    gpt-5.5: 7.22K • $0.04\n  Cached: 1.5K • $0.00\n    gpt-5.1-codex-mini: 700 • $0.00\n"
      "    gpt-5.5: 800 • $0.00\n  Output: 150 • $0.00\n    gpt-5.1-codex-mini: 69 • $0.00\n"
      "    gpt-5.5: 81 • $0.00\n  Reasoning: 15 • $0.00\n    gpt-5.1-codex-mini: 7 • $0.00\n"
      "    gpt-5.5: 8 • $0.00\n\nLimits\n  5-hour: 63% used • resets 15:38\n"
      "  Weekly: 44% used (as of 10:02)\n\nRecent\n  Yesterday: 1M • $1.25\n"
      "    o9?[2J\"\\ (fallback price): 1M • $1.25\n\n  This Month (March 2025): 1.02M • $1.27\n"
      "    unknown model (fallback price): 1.02M • $1.27\n",
      usageReportText(menu(), viewModel_.get()));
  prices_.write("prices.json", R"({"models": {}})");
  refreshFully();
  EXPECT_EQ("15.2K • $0.02", viewModel_->menuBarTitle()) << "the list is read at each refresh";
}

TEST_F(UsageReportTest, JsonGivesEveryCounterEachModelsExactCostAndTheLimits) {
  refreshWithModels();
  simdjson::dom::parser parser;
  const simdjson::dom::element report = parser.parse(usageReportJson(*viewModel_));
  EXPECT_EQ(R"({"inputTokens":15035,"cachedInputTokens":1500,"cacheWriteInputTokens":0,)"
            R"("outputTokens":165,"reasoningOutputTokens":15,"totalTokens":15200})",
            simdjson::minify(report["today"]["counters"]));
  // gpt-5.5: 7221 uncached at $5, 800 cached at $0.50, 81 + 8 output at $30 per million.
  const simdjson::dom::element latest = report["today"]["models"].at(1);
  EXPECT_EQ("gpt-5.5", std::string_view(latest["model"]));
  EXPECT_EQ("0.039175", std::string_view(latest["exactCost"]));
  const simdjson::dom::element odd = report["recent"].at(0)["models"].at(0);
  EXPECT_EQ(kOddModel, std::string_view(odd["model"]));
  EXPECT_TRUE(bool(odd["fallbackPrice"]));
  EXPECT_EQ("2025-03", std::string_view(report["month"]["id"]));
  EXPECT_EQ("", std::string_view(report["month"]["models"].at(0)["model"]));
  EXPECT_EQ(R"j({"observedAt":"2025-03-21T09:02:10.709Z","windows":[)j"
            R"j({"id":"primary","label":"5-hour","usedPercent":63,"windowMinutes":300,)j"
            R"j("resetsAt":"2025-03-21T14:38:45Z","text":"5-hour: 63% used • resets 15:38"},)j"
            R"j({"id":"secondary","label":"Weekly","usedPercent":43.5,"windowMinutes":10079,)j"
            R"j("resetsAt":null,"text":"Weekly: 44% used (as of 10:02)"}]})j",
            simdjson::minify(report["limits"]));
}

// Each state the view model publishes, as waybar reads it: one line of JSON whose text is the
// title, whose tooltip is the figures below it (or why they are missing), and whose class names
// the state; and as i3blocks reads it: the title twice, each time on one line.
TEST_F(UsageReportTest, StatusBarLinesCarryTheTitleTheFiguresAndTheState) {
  const auto check = [this](const char* cssClass, const char* text, const char* tooltipStart) {
    const std::string line = usageReportWaybar(menu(), *viewModel_);
    ASSERT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;
    ASSERT_TRUE(line.ends_with('\n')) << line;
    simdjson::dom::parser parser;
    const simdjson::dom::element object = parser.parse(line);
    EXPECT_EQ(text, std::string_view(object["text"]));
    EXPECT_EQ(cssClass, std::string_view(object["class"]));
    const std::string_view tooltip = object["tooltip"];
    EXPECT_TRUE(tooltip.starts_with(tooltipStart) && !tooltip.ends_with('\n')) << tooltip;
    EXPECT_EQ(text + std::string("\n") + text + "\n", usageReportI3blocks(menu()));
  };
  start();
  check("loading", "Loading…", "");
  loop_.runUntilIdle();
  check("zero", "0 • $0.00", "Today\n  Input: 0 • $0.00\n");
  source_->days[dayKey(0)] = usage(2'000'000);
  refreshFully();
  check("usage", "2M • $2.50", "Today\n  Input: 2M • $2.50\n");
  source_->dayFailures[dayKey(0)] = std::make_exception_ptr(std::runtime_error("broken"));
  refreshFully();
  check("error", "Token Usage", "broken");
  MenuDescription broken;
  broken.title = "two\nlines\r";
  EXPECT_EQ("two lines \ntwo lines \n", usageReportI3blocks(broken));
}

}  // namespace
}  // namespace nubrel::testing
