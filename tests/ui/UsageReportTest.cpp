#include "ui/UsageReport.h"

#include "viewmodel/LimitsFixture.h"

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

}  // namespace
}  // namespace nubrel::testing
