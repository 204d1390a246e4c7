#include "ui/UsageReport.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "ui/MenuContent.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

TEST(UsageReportJsonTest, JsonStringsAreEscaped) {
  const std::pair<std::string_view, const char*> cases[] = {
      {R"(say "hi" in C:\logs)", R"("say \"hi\" in C:\\logs")"},
      {"two\nlines\tand a tab", R"("two\nlines\tand a tab")"},
      {std::string_view("nul\0bell\a\x7f", 10), R"("nul\u0000bell\u0007\u007f")"},
      {"2.1M \u2022 марта", "\"2.1M \u2022 марта\""}};
  for (const auto& [text, json] : cases) {
    EXPECT_EQ(json, jsonQuoted(text)) << json;
  }
}

class UsageReportTest : public ViewModelFixture {
 protected:
  MenuDescription menu() const {
    return MenuContent(viewModel_, nullptr, [] {}).describe();
  }

  // A session on gpt-5.5 resumed on gpt-5.1-codex-mini and back, at the shipped prices; a model
  // the list does not know, whose id would clear the terminal; the plan's limits.
  void refreshWithModels() {
    std::stringstream list;
    list << std::ifstream(NUBREL_PRICE_LIST).rdbuf();
    writePrices(list.str());
    const TokenTotals latest{8'021, 800, 89, 8, 8'110}, mini{7'014, 700, 76, 7, 7'090};
    source_->days[dayKey(0)] = latest + mini;
    source_->dayModels[dayKey(0)] = {{.model = "gpt-5.1-codex-mini", .totals = mini},
                                     {.model = "gpt-5.5", .totals = latest}};
    source_->days[dayKey(1)] = usage(1'000'000);
    source_->dayModels[dayKey(1)] = {{.model = "o9\x1b[2J", .totals = usage(1'000'000)}};
    source_->months["2025-03"] = latest + mini + usage(1'000'000);
    refreshWithLimits("2025-03-21T09:02:10.709Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                      window(43.5, 10079));
  }
};

TEST_F(UsageReportTest, TextFollowsEachFigureWithItsModels) {
  refreshWithModels();
  EXPECT_EQ(
      "15.2K \u2022 $0.04\nToday\n"
      "  Input: 13.54K \u2022 $0.04\n"
      "    gpt-5.1-codex-mini: 6.31K \u2022 $0.00\n    gpt-5.5: 7.22K \u2022 $0.04\n"
      "  Cached: 1.5K \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 700 \u2022 $0.00\n    gpt-5.5: 800 \u2022 $0.00\n"
      "  Output: 150 \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 69 \u2022 $0.00\n    gpt-5.5: 81 \u2022 $0.00\n"
      "  Reasoning: 15 \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 7 \u2022 $0.00\n    gpt-5.5: 8 \u2022 $0.00\n\n"
      "Limits\n  5-hour: 63% used \u2022 resets 15:38\n  Weekly: 44% used (as of 10:02)\n\n"
      "Recent\n  Yesterday: 1M \u2022 $1.25\n    o9?[2J (fallback price): 1M \u2022 $1.25\n\n"
      "  This Month (March 2025): 1.02M \u2022 $1.27\n"
      "    unknown model (fallback price): 1.02M \u2022 $1.27\n",
      usageReportText(menu(), viewModel_.get()));
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
  EXPECT_FALSE(bool(latest["fallbackPrice"]));
  EXPECT_TRUE(bool(report["recent"].at(0)["models"].at(0)["fallbackPrice"]));
  EXPECT_EQ("", std::string_view(report["month"]["models"].at(0)["model"]));
  EXPECT_EQ(R"j({"observedAt":"2025-03-21T09:02:10.709Z","windows":[)j"
            R"j({"id":"primary","label":"5-hour","usedPercent":63,"windowMinutes":300,)j"
            R"j("resetsAt":"2025-03-21T14:38:45Z","text":"5-hour: 63% used • resets 15:38"},)j"
            R"j({"id":"secondary","label":"Weekly","usedPercent":43.5,"windowMinutes":10079,)j"
            R"j("resetsAt":null,"text":"Weekly: 44% used (as of 10:02)"}]})j",
            simdjson::minify(report["limits"]));
  refreshWithLimits("2025-03-21T09:02:10.000123Z", window(1, 60));
  EXPECT_NE(std::string::npos, usageReportJson(*viewModel_).find("T09:02:10.000123Z"));
}

// As waybar reads each state the view model can publish: one line of JSON whose text is the
// title, whose tooltip is the figures below it (or why they are missing), and whose class names
// the state; as i3blocks reads it, the title twice.
TEST_F(UsageReportTest, StatusBarLinesCarryTheTitleTheFiguresAndTheState) {
  const struct {
    std::function<void()> arrange;
    const char* cssClass;
    const char* text;
    const char* tooltipStart;
  } cases[] = {
      {[this] { start(); }, "loading", "Loading\u2026", ""},
      {[this] { refreshFully(); }, "zero", "0 \u2022 $0.00", "Today\n  Input: 0 \u2022 $0.00\n"},
      {[this] {
         source_->days[dayKey(0)] = usage(2'000'000);
         refreshFully();
       },
       "usage", "2M \u2022 $2.50", "Today\n  Input: 2M \u2022 $2.50\n"},
      {[this] {
         source_->dayFailures[dayKey(0)] = std::make_exception_ptr(std::runtime_error("broken"));
         refreshFully();
       },
       "error", "Token Usage", "broken"},
  };
  for (const auto& c : cases) {
    viewModel_.reset();
    c.arrange();
    const std::string line = usageReportWaybar(menu(), *viewModel_);
    ASSERT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;
    ASSERT_TRUE(line.ends_with('\n')) << line;
    simdjson::dom::parser parser;
    const simdjson::dom::element object = parser.parse(line);
    EXPECT_EQ(c.text, std::string_view(object["text"]));
    EXPECT_EQ(c.cssClass, std::string_view(object["class"]));
    const std::string_view tooltip = object["tooltip"];
    EXPECT_TRUE(tooltip.starts_with(c.tooltipStart) && !tooltip.ends_with('\n')) << tooltip;
    EXPECT_EQ(c.text + std::string("\n") + c.text + "\n", usageReportI3blocks(menu()));
  }
  MenuDescription broken;
  broken.title = "two\nlines\r";
  EXPECT_EQ("two lines \ntwo lines \n", usageReportI3blocks(broken));
}

}  // namespace
}  // namespace nubrel::testing
