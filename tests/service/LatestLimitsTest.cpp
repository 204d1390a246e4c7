// The latest plan limits a usage source reports: those of the newest line by its timestamp,
// whichever file holds it and in whatever order the lines were read.
#include <gtest/gtest.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

class LatestLimitsTest : public ServiceFixture {
 protected:
  // A token event of 1 input token whose rate_limits member is `limits` (JSON).
  void addLine(const std::string& relative, std::string_view timestamp, const std::string& limits) {
    std::string line = usageLine(timestamp, io(1, 0));
    line.replace(line.find("\"rate_limits\":null"), 18, "\"rate_limits\":" + limits);
    const std::string path = "sessions/" + relative;
    if (std::filesystem::exists(home() / path)) {
      append(path, line);
    } else {
      write(path, line);
    }
  }
  static std::string primary(int percent) {
    return R"({"primary":{"used_percent":)" + std::to_string(percent) +
           R"(,"window_minutes":300,"resets_at":1738332000}})";
  }
  // The primary window's use after a daily query, or -1 without limits.
  double latestPercent() {
    day("2025-01-31T12:00:00.000Z");
    const auto latest = service_->latestLimits(at("2025-01-31T12:00:00.000Z"));
    return latest && latest->limits.primary ? latest->limits.primary->usedPercent : -1;
  }
};

TEST_F(LatestLimitsTest, NewestLineWinsAcrossFilesAndReadingOrder) {
  addLine("2025/01/31/a.jsonl", "2025-01-31T08:00:00.000Z", "null");
  EXPECT_EQ(-1, latestPercent());
  addLine("2025/01/31/a.jsonl", "2025-01-31T10:00:00.000Z", primary(70));
  addLine("2025/01/31/b.jsonl", "2025-01-31T09:00:00.000Z", primary(50));  // read after a
  EXPECT_EQ(70, latestPercent());
  EXPECT_EQ(at("2025-01-31T10:00:00.000Z"),
            service_->latestLimits(at("2025-01-31T12:00:00.000Z"))->observedAt);
  addLine("2025/01/31/a.jsonl", "2025-01-31T09:30:00.000Z", primary(60));  // out of order
  addLine("2025/01/31/b.jsonl", "2025-01-31T11:00:00.000Z", "null");
  addLine("2025/01/31/b.jsonl", "2025-01-31T11:01:00.000Z",
          R"({"primary":{"used_percent":"lots","window_minutes":300}})");
  EXPECT_EQ(70, latestPercent()) << "neither an older line nor lines without limits change it";
  EXPECT_EQ(6, day("2025-01-31T12:00:00.000Z").inputTokens) << "each line still counts";
  addLine("2025/01/30/c.jsonl", "2025-01-31T10:30:00.000Z", primary(75));  // another day's file
  EXPECT_EQ(75, latestPercent());
  addLine("2025/01/30/c.jsonl", "2025-01-30T10:00:00.000Z", primary(40));
  EXPECT_EQ(75, latestPercent());
  const auto dayBefore = service_->latestLimits(at("2025-01-30T12:00:00.000Z"));
  ASSERT_TRUE(dayBefore) << "as of an earlier day, that day's newest";
  EXPECT_EQ(40, dayBefore->limits.primary->usedPercent);
}

}  // namespace
}  // namespace nubrel::testing
