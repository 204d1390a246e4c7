#include "ui/UsageReport.h"

#include <gtest/gtest.h>

namespace nubrel {
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

}  // namespace
}  // namespace nubrel
