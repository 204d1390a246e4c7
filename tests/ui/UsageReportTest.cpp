#include "ui/UsageReport.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>

#include "ui/MenuContent.h"
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

TEST(UsageReportTest, JsonStringsAreEscaped) {
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
