#include "ui/UsageReport.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "ui/MenuContent.h"
#include "viewmodel/LimitsFixture.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

class UsageReportTest : public LimitsFixture {
 protected:
  // The report's "limits" member, up to the end of the object.
  std::string limitsJson() const {
    const std::string json = usageReportJson(*viewModel_);
    const auto start = json.find(R"("limits":)");
    return start == std::string::npos ? json : json.substr(start, json.size() - start - 2);
  }
};

TEST_F(UsageReportTest, JsonCarriesTheLimitsTheMenuShows) {
  refreshFully();
  EXPECT_EQ(R"("limits":null)", limitsJson());
  refreshWithLimits("2025-03-21T09:02:10.709Z", window(63, 300, "2025-03-21T14:38:45.000Z"),
                    window(43.5, 10079));
  EXPECT_EQ(R"j("limits":{"observedAt":"2025-03-21T09:02:10.709Z","windows":[)j"
            R"j({"id":"primary","label":"5-hour","usedPercent":63,"windowMinutes":300,)j"
            R"j("resetsAt":"2025-03-21T14:38:45Z","text":"5-hour: 63% used • resets 15:38"},)j"
            R"j({"id":"secondary","label":"Weekly","usedPercent":43.5,"windowMinutes":10079,)j"
            R"j("resetsAt":null,"text":"Weekly: 44% used (as of 10:02)"}]})j",
            limitsJson());
  refreshWithLimits("2025-03-21T09:02:10.000123Z", window(1, 60));
  EXPECT_NE(std::string::npos, limitsJson().find(R"("observedAt":"2025-03-21T09:02:10.000123Z")"));
}

TEST(UsageReportJsonTest, JsonStringsAreEscaped) {
  const struct {
    std::string_view text;
    const char* json;
  } cases[] = {
      {"plain", R"("plain")"},
      {R"(say "hi" in C:\logs)", R"("say \"hi\" in C:\\logs")"},
      {"two\nlines\tand a tab", R"("two\nlines\tand a tab")"},
      {std::string_view("nul\0bell\a\x7f", 10), R"("nul\u0000bell\u0007\u007f")"},
      {"2.1M \u2022 марта", "\"2.1M \u2022 марта\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.json, jsonQuoted(c.text)) << c.json;
  }
}

// A session on gpt-5.5 resumed on gpt-5.1-codex-mini and back (the agent's own log of such a
// switch, request by request), at the shipped prices; and a model the list does not know, whose
// id would clear the terminal.
class UsageReportByModelTest : public ViewModelFixture {
 protected:
  UsageReportByModelTest() {
    std::ifstream in(NUBREL_PRICE_LIST);
    std::stringstream list;
    list << in.rdbuf();
    writePrices(list.str());
    // Requests 1, 2 and 5 on gpt-5.5, 3 and 4 on the mini model.
    const TokenTotals latest{.inputTokens = 8'021,
                             .cachedInputTokens = 800,
                             .outputTokens = 89,
                             .reasoningOutputTokens = 8,
                             .totalTokens = 8'110};
    const TokenTotals mini{.inputTokens = 7'014,
                           .cachedInputTokens = 700,
                           .outputTokens = 76,
                           .reasoningOutputTokens = 7,
                           .totalTokens = 7'090};
    source_->days[dayKey(0)] = latest + mini;
    source_->dayModels[dayKey(0)] = {{.model = "gpt-5.1-codex-mini", .totals = mini},
                                     {.model = "gpt-5.5", .totals = latest}};
    source_->days[dayKey(1)] = usage(1'000'000);
    source_->dayModels[dayKey(1)] = {{.model = "o9\x1b[2J", .totals = usage(1'000'000)}};
    source_->months["2025-03"] = latest + mini + usage(1'000'000);
    refreshFully();
  }
};

TEST_F(UsageReportByModelTest, TextAddsALinePerModelUnderEachFigure) {
  const MenuDescription menu = MenuContent(viewModel_, nullptr, [] {}).describe();
  EXPECT_EQ(usageReportText(menu), usageReportText(menu, nullptr));
  EXPECT_EQ(
      "15.2K \u2022 $0.04\n"
      "Today\n"
      "  Input: 13.54K \u2022 $0.04\n"
      "    gpt-5.1-codex-mini: 6.31K \u2022 $0.00\n"
      "    gpt-5.5: 7.22K \u2022 $0.04\n"
      "  Cached: 1.5K \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 700 \u2022 $0.00\n"
      "    gpt-5.5: 800 \u2022 $0.00\n"
      "  Output: 150 \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 69 \u2022 $0.00\n"
      "    gpt-5.5: 81 \u2022 $0.00\n"
      "  Reasoning: 15 \u2022 $0.00\n"
      "    gpt-5.1-codex-mini: 7 \u2022 $0.00\n"
      "    gpt-5.5: 8 \u2022 $0.00\n"
      "\n"
      "Recent\n"
      "  Yesterday: 1M \u2022 $1.25\n"
      "    o9?[2J (fallback price): 1M \u2022 $1.25\n"
      "\n"
      "  This Month (March 2025): 1.02M \u2022 $1.27\n"
      "    unknown model (fallback price): 1.02M \u2022 $1.27\n",
      usageReportText(menu, viewModel_.get()));
}

TEST_F(UsageReportByModelTest, JsonGivesEachModelsTokensAndExactCost) {
  simdjson::dom::parser parser;
  const simdjson::dom::element report = parser.parse(usageReportJson(*viewModel_));
  const simdjson::dom::array today = report["today"]["models"];
  ASSERT_EQ(2u, today.size());
  // gpt-5.5: 7221 uncached at $5, 800 cached at $0.50, 81 + 8 output at $30 per million.
  const simdjson::dom::element latest = today.at(1);
  EXPECT_EQ("gpt-5.5", std::string_view(latest["model"]));
  EXPECT_FALSE(bool(latest["fallbackPrice"]));
  EXPECT_EQ(8'021, int64_t(latest["counters"]["inputTokens"]));
  EXPECT_EQ("0.039175", std::string_view(latest["exactCost"]));
  // The mini model: 6314 at $0.25, 700 at $0.025, 76 at $2 per million.
  EXPECT_EQ("0.001748", std::string_view(today.at(0)["exactCost"]));

  const simdjson::dom::element yesterday = report["recent"].at(0)["models"].at(0);
  EXPECT_TRUE(bool(yesterday["fallbackPrice"]));
  EXPECT_EQ("$1.25", std::string_view(yesterday["cost"]));
  const simdjson::dom::element month = report["month"]["models"].at(0);
  EXPECT_EQ("", std::string_view(month["model"]));
  EXPECT_TRUE(bool(month["fallbackPrice"]));
}

class StatusBarReportTest : public ViewModelFixture {
 protected:
  MenuDescription menu() const {
    return MenuContent(viewModel_, nullptr, [] {}).describe();
  }
};

// Each state the view model can publish, as waybar reads it: one line of valid JSON whose text
// is the title and whose class names the state.
TEST_F(StatusBarReportTest, WaybarLineCarriesTheTitleTheFiguresAndTheState) {
  const struct {
    const char* label;
    std::function<void()> arrange;
    const char* cssClass;
    const char* text;
    const char* tooltipStart;
  } cases[] = {
      {"loading", [this] { start(); }, "loading", "Loading\u2026", ""},
      {"zero", [this] { refreshFully(); }, "zero", "0 \u2022 $0.00",
       "Today\n  Input: 0 \u2022 $0.00\n"},
      {"usage",
       [this] {
         source_->days[dayKey(0)] = usage(2'000'000);
         source_->days[dayKey(1)] = usage(1'000'000);
         refreshFully();
       },
       "usage", "2M \u2022 $2.50", "Today\n  Input: 2M \u2022 $2.50\n"},
      {"error",
       [this] {
         source_->dayFailures[dayKey(0)] = std::make_exception_ptr(std::runtime_error("broken"));
         refreshFully();
       },
       "error", "Token Usage", ""},
  };
  for (const auto& c : cases) {
    viewModel_.reset();
    source_->days.clear();
    source_->dayFailures.clear();
    c.arrange();
    const std::string line = usageReportWaybar(menu(), *viewModel_);
    ASSERT_EQ(1, std::count(line.begin(), line.end(), '\n')) << c.label;
    ASSERT_EQ('\n', line.back()) << c.label;
    simdjson::dom::parser parser;
    const simdjson::dom::element object = parser.parse(line);
    EXPECT_EQ(c.text, std::string_view(object["text"])) << c.label;
    EXPECT_EQ(c.cssClass, std::string_view(object["class"])) << c.label;
    const std::string_view tooltip = object["tooltip"];
    EXPECT_TRUE(tooltip.starts_with(c.tooltipStart)) << c.label << ": " << tooltip;
    EXPECT_FALSE(tooltip.ends_with("\n")) << c.label;
    if (c.cssClass == std::string_view("error")) {
      EXPECT_EQ(*viewModel_->errorMessage(), tooltip);
    }
  }
}

TEST_F(StatusBarReportTest, I3blocksGetsTheTitleAsFullAndShortTextOnOneLineEach) {
  refreshFully();
  EXPECT_EQ("0 \u2022 $0.00\n0 \u2022 $0.00\n", usageReportI3blocks(menu()));
  MenuDescription broken;
  broken.title = "two\nlines\r";
  EXPECT_EQ("two lines \ntwo lines \n", usageReportI3blocks(broken));
}

}  // namespace
}  // namespace nubrel::testing
