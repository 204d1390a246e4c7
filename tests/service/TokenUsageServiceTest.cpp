// The usage service on agent homes on disk: which files are read and how often, which lines count
// and on which day, files that change under it, copies of the same requests, and plan limits.
#include <gtest/gtest.h>
#include <sys/time.h>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

void setModified(const std::filesystem::path& path, std::string_view timestamp) {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(at(timestamp).time_since_epoch()).count();
  const timeval times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(0, ::utimes(path.c_str(), times));
}

using TokenUsageServiceTest = ServiceFixture;

// Every log of the tree and of the archive is read, each once whatever the queries and the names
// it goes by; one last written before the days asked about waits until they are. Without the
// agent's folder, or without usage on the day, the query says which.
TEST_F(TokenUsageServiceTest, ReadsEveryLogOnceWhateverItsNamesAndTheQueries) {
  EXPECT_EQ(TokenUsageError::Kind::missingSessionsDirectory, failureOf("2025-01-31T12:00:00.000Z"));
  const std::string a = usageLine("2025-01-30T09:00:00.000Z", io(1, 0)) +
                        usageLine("2025-01-31T09:00:00.000Z", io(20, 0));
  const std::string old = usageLine("2025-01-02T09:00:00.000Z", io(300, 0));
  const std::string c = usageLine("2025-01-31T11:00:00.000Z", io(4000, 0));
  dir_.write("sessions/2025/01/30/a.jsonl", a);
  setModified(dir_.write("sessions/2024/12/31/old.jsonl", old), "2025-01-02T10:00:00.000Z");
  const auto archived = dir_.write("archived_sessions/c.jsonl", c);
  dir_.write("sessions/.hidden/d.jsonl", usageLine("2025-01-31T11:00:00.000Z", io(50000, 0)));
  dir_.write("sessions/2025/01/31/e.JSONL", usageLine("2025-01-31T11:00:00.000Z", io(50000, 0)));
  std::filesystem::create_hard_link(archived, sessions() / "2025/01/31/hard.jsonl");
  std::filesystem::create_symlink(archived, sessions() / "soft.jsonl");
  EXPECT_EQ(io(4020, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(2u, service_->trackedFileCount()) << "old was last written before the 31st";
  EXPECT_EQ(io(1, 0), day("2025-01-30T12:00:00.000Z"));
  EXPECT_EQ(TokenUsageError::Kind::missingMonthDirectory, failureOf("2025-01-29T12:00:00.000Z"));
  EXPECT_EQ(io(4321, 0), month("2025-01-31T12:00:00.000Z"));
  // Appended to, then archived: only what was appended is read.
  const std::string more = usageLine("2025-01-31T13:00:00.000Z", io(50, 0));
  dir_.append("sessions/2025/01/30/a.jsonl", more);
  std::filesystem::rename(sessions() / "2025/01/30/a.jsonl",
                          dir_.path() / "archived_sessions/a.jsonl");
  EXPECT_EQ(io(4070, 0), day("2025-01-31T13:30:00.000Z"));
  EXPECT_EQ(io(4371, 0), month("2025-01-31T13:30:00.000Z"));
  EXPECT_EQ(a.size() + old.size() + c.size() + more.size(), service_->bytesRead());
}

// From a file's first record on, the records carry its usage, one per model response; each
// request keeps the model of its turn and the tier of its own input (long above 272,000).
TEST_F(TokenUsageServiceTest, RecordsCarryTheUsageWithTheirTurnsModelAndTier) {
  const TokenTotals first = io(100, 10);
  const TokenTotals big = io(272'001, 2);
  const char* t = "2026-12-06T10:01:00.000Z";
  dir_.write("sessions/2026/12/06/a.jsonl",
             turnLine("2026-12-06T09:00:00.000Z", "gpt-5.5") +
                 tokenLine("2026-12-06T10:00:00.000Z", io(300'000, 10), first) +
                 recordLine(t, "r1", io(272'000, 1)) + recordLine(t, "r2", big) +
                 turnLine(t, "gpt-5.1-codex-mini") +
                 recordLine(t, "r2", big) +  // seen again at the same instant: the first counts
                 recordLine("2026-12-06T10:03:00.000Z", "r3", io(5, 3)) +
                 tokenLine("2026-12-06T10:04:00.000Z", io(600'000, 9), std::nullopt));
  // The same response in another file, as a copy holds it, counts once.
  dir_.write("sessions/2026/12/06/b.jsonl", recordLine("2026-12-07T10:01:00.000Z", "r3", io(5, 3)));
  const auto models = service_->fetchDailyUsage(at("2026-12-06T12:00:00.000Z")).front().models;
  EXPECT_EQ((std::vector<ModelUsage>{
                {.model = "gpt-5.1-codex-mini", .longContext = false, .totals = io(5, 3)},
                {.model = "gpt-5.5", .longContext = false, .totals = first + io(272'000, 1)},
                {.model = "gpt-5.5", .longContext = true, .totals = big}}),
            models);
  EXPECT_EQ(io(0, 0), day("2026-12-07T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, AChangedFileIsReadAgainAndWhatItCountedIsTakenBack) {
  const std::string one = usageLine("2025-01-31T09:00:00.000Z", io(1, 0));
  const std::string two = usageLine("2025-01-31T09:00:01.000Z", io(20, 0));
  const auto log = dir_.write("sessions/2025/01/31/a.jsonl", one + two);
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:00:00.000Z"));
  std::filesystem::rename(dir_.write("other.jsonl", two + two), log);  // another file, same name
  EXPECT_EQ(io(20, 0), day("2025-01-31T12:03:00.000Z"));
  // A last line without its LF counts once, and once more only if it turns into another line.
  dir_.append(log.lexically_relative(dir_.path()), one.substr(0, one.size() - 1));
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:04:00.000Z"));
  dir_.append(log.lexically_relative(dir_.path()), "\n");
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:05:00.000Z"));
  dir_.append(log.lexically_relative(dir_.path()), one.substr(0, one.size() - 3) + "}} ,\n");
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:06:00.000Z")) << "the record went on and broke";
  dir_.write("sessions/2025/01/31/bom.jsonl",
             "\xEF\xBB\xBF" + usageLine("2025-01-31T10:00:00.000Z", io(300, 0)));
  EXPECT_EQ(io(321, 0), day("2025-01-31T12:07:00.000Z"));
}

// A fork's history as agents 0.100 to 0.140 copy it: the parent's token lines re-stamped with
// the fork's creation time, and the child's own totals going on from the copied ones.
TEST_F(TokenUsageServiceTest, ACopiedHistoryCountsOnItsOwnDaysOnceItsOriginIsFound) {
  const TokenTotals r1 = io(1000, 10), r2 = io(2000, 20), own = io(4000, 40);
  const char* copied = "2025-01-20T08:00:00.000Z";
  dir_.write("sessions/2025/01/20/child.jsonl",
             sessionLine(copied, "child", "parent") + tokenLine(copied, r1, r1) +
                 tokenLine(copied, std::nullopt, std::nullopt) + tokenLine(copied, r1 + r2, r2) +
                 tokenLine("2025-01-20T09:00:00.000Z", r1 + r2 + own, own));
  EXPECT_EQ(r1 + r2 + own, day("2025-01-20T12:00:00.000Z"));
  // The parent turns up in a folder that sorts after the child's.
  const auto parent = dir_.write("sessions/2025/01/30-moved/rollout-parent.jsonl",
                                 sessionLine("2025-01-10T09:00:00.000Z", "parent") +
                                     tokenLine("2025-01-10T09:01:00.000Z", r1, r1) +
                                     tokenLine("2025-01-10T09:02:00.000Z", r1 + r2, r2));
  EXPECT_EQ(own, day("2025-01-20T12:05:00.000Z"));
  EXPECT_EQ(r1 + r2, day("2025-01-10T12:00:00.000Z"));
  EXPECT_EQ(r1 + r2 + own, month("2025-01-20T12:05:00.000Z"));
  // A fresh service reads the copy first, and the parent however long ago it was written.
  setModified(parent, "2025-01-10T10:00:00.000Z");
  EXPECT_EQ(own, dayOf(*freshService(), "2025-01-20T12:05:00.000Z"));
  EXPECT_EQ(r1 + r2 + own, monthOf(*freshService(), "2025-01-20T12:05:00.000Z"));
}

// The newest limits by timestamp, whichever file holds them and in whatever order they are read;
// as of an earlier day, that day's newest. Damaged limits are none, and the line still counts.
TEST_F(TokenUsageServiceTest, LatestLimitsAreTheNewestLinesWhateverTheReadingOrder) {
  using W = RateLimitWindow;
  const auto add = [&](const char* file, const char* timestamp, const std::string& limits) {
    dir_.append(std::string("sessions/2025/01/") + file,
                tokenLine(timestamp, std::nullopt, io(1, 0), limits));
  };
  const auto primary = [](const std::string& percent) {
    return R"({"primary":{"used_percent":)" + percent +
           R"(,"window_minutes":300,"resets_at":1738332000},"secondary":null})";
  };
  const auto latest = [&](const char* asOf) {
    day("2025-01-31T12:00:00.000Z");
    return service_->latestLimits(at(asOf)).value_or(RateLimitSnapshot{}).limits;
  };
  add("31/a.jsonl", "2025-01-31T10:00:00.000Z", primary("70"));
  add("31/a.jsonl", "2025-01-31T09:30:00.000Z", primary("60"));
  add("31/b.jsonl", "2025-01-31T09:00:00.000Z", primary("50"));
  add("31/b.jsonl", "2025-01-31T11:01:00.000Z", primary("\"lots\""));
  add("30/c.jsonl", "2025-01-30T10:00:00.000Z", primary("40"));
  const W seventy{70, 300, Instant(std::chrono::seconds(1738332000))};
  EXPECT_EQ((RateLimits{seventy, std::nullopt}), latest("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(4, 0), day("2025-01-31T12:00:00.000Z"));
  // The older, flat shape without resets, in another day's folder.
  add("30/c.jsonl", "2025-01-31T10:30:00.000Z",
      R"({"primary_used_percent":75.0,"primary_window_minutes":299,)"
      R"("secondary_used_percent":5.5,"secondary_window_minutes":10079})");
  EXPECT_EQ((RateLimits{W{75, 299, std::nullopt}, W{5.5, 10079, std::nullopt}}),
            latest("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(40, latest("2025-01-30T12:00:00.000Z").primary.value().usedPercent);
}

}  // namespace
}  // namespace nubrel::testing
