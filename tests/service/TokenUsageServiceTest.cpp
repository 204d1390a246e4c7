// The usage ledger on real agent homes on disk: which files are read and how often, which lines
// count and on which day, files that change under it, and copies of the same requests.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <atomic>
#include <fstream>
#include <thread>

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

TEST_F(TokenUsageServiceTest, ReadsEveryLogOfTheTreeAndTheArchiveOnce) {
  write("sessions/2025/01/31/a.jsonl", usageLine("2025-01-31T09:00:00.000Z", io(1, 0)));
  write("sessions/2024/12/31/b.jsonl", usageLine("2025-01-31T10:00:00.000Z", io(20, 0)));
  write("sessions/loose.jsonl", usageLine("2025-01-31T11:00:00.000Z", io(300, 0)));
  const auto archived =
      write("archived_sessions/c.jsonl", usageLine("2025-01-30T11:00:00.000Z", io(4000, 0)));
  write("sessions/.hidden/d.jsonl", usageLine("2025-01-31T11:00:00.000Z", io(50000, 0)));
  write("sessions/2025/01/31/e.JSONL", usageLine("2025-01-31T11:00:00.000Z", io(50000, 0)));
  // One file under three names counts once.
  std::filesystem::create_hard_link(archived, sessions() / "2025/01/31/hard.jsonl");
  std::filesystem::create_symlink(archived, sessions() / "2025/01/31/soft.jsonl");
  EXPECT_EQ(io(321, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(4321, 0), month("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(0, 0), month("2024-12-31T12:00:00.000Z"));

  // Archiving moves a file; its usage stays where it was, and it is not read again.
  const std::uint64_t before = service_->bytesRead();
  std::filesystem::rename(sessions() / "2025/01/31/a.jsonl", home() / "archived_sessions/a.jsonl");
  EXPECT_EQ(io(321, 0), day("2025-01-31T12:05:00.000Z"));
  EXPECT_EQ(before, service_->bytesRead());
}

TEST_F(TokenUsageServiceTest, EachFileIsReadOnceWhateverTheQueries) {
  const std::string a = usageLine("2025-01-30T09:00:00.000Z", io(1, 0)) +
                        usageLine("2025-01-31T09:00:00.000Z", io(20, 0));
  const std::string b = usageLine("2025-01-02T09:00:00.000Z", io(300, 0));
  write("sessions/2025/01/30/a.jsonl", a);
  setModified(write("sessions/2025/01/02/b.jsonl", b), "2025-01-02T10:00:00.000Z");

  EXPECT_EQ(io(20, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(1u, service_->trackedFileCount()) << "b was last written before the 31st";
  EXPECT_EQ(io(1, 0), day("2025-01-30T12:00:00.000Z"));
  EXPECT_EQ(io(321, 0), month("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(a.size() + b.size(), service_->bytesRead());

  const std::string more = usageLine("2025-01-31T13:00:00.000Z", io(4000, 0));
  append("sessions/2025/01/30/a.jsonl", more);
  EXPECT_EQ(io(4020, 0), day("2025-01-31T13:30:00.000Z"));
  EXPECT_EQ(io(4321, 0), month("2025-01-31T13:30:00.000Z"));
  EXPECT_EQ(a.size() + b.size() + more.size(), service_->bytesRead());
}

TEST_F(TokenUsageServiceTest, RecordsCarryTheUsageFromAFilesFirstRecordOn) {
  const TokenTotals first = io(100, 10);
  const TokenTotals second = io(200, 20);
  const TokenTotals compaction = io(5000, 50);
  write("sessions/2026/12/06/a.jsonl",
        tokenLine("2026-12-06T10:00:00.000Z", first, first) +
            recordLine("2026-12-06T10:01:00.000Z", "resp_2", second) +
            tokenLine("2026-12-06T10:01:01.000Z", first + second, second) +
            // Remote compaction: a record and no token_count.
            recordLine("2026-12-06T10:02:00.000Z", "resp_3", compaction) +
            tokenLine("2026-12-06T10:02:01.000Z", first + second, io(0, 0)));
  // The same response in another file, as a copy would hold it, counts once.
  write("sessions/2026/12/06/b.jsonl", recordLine("2026-12-07T10:01:00.000Z", "resp_2", second));
  EXPECT_EQ(first + second + compaction, day("2026-12-06T12:00:00.000Z"));
  EXPECT_EQ(io(0, 0), day("2026-12-07T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, EachRequestKeepsTheModelOfItsTurnAndItsOwnInputsTier) {
  // A switch inside a file, and the long-context tier from one token above 272,000 of the
  // request's own input; usage from running totals alone stays at the base tier.
  write("sessions/2026/12/06/a.jsonl",
        tokenLine("2026-12-06T09:00:00.000Z", io(300'000, 1), std::nullopt) +
            turnLine("2026-12-06T09:00:01.000Z", "gpt-5.5") +
            recordLine("2026-12-06T10:00:00.000Z", "r1", io(272'000, 1)) +
            recordLine("2026-12-06T10:01:00.000Z", "r2", io(272'001, 2)) +
            turnLine("2026-12-06T10:02:00.000Z", "gpt-5.1-codex-mini") +
            recordLine("2026-12-06T10:03:00.000Z", "r3", io(5, 3)) +
            tokenLine("2026-12-06T10:04:00.000Z", io(600'000, 9), std::nullopt));
  const auto models = service_->fetchDailyUsage(at("2026-12-06T12:00:00.000Z")).front().models;
  EXPECT_EQ((std::vector<ModelUsage>{
                {.model = "gpt-5.1-codex-mini", .longContext = false, .totals = io(5, 3)},
                {.model = "gpt-5.5", .longContext = false, .totals = io(272'000, 1)},
                {.model = "gpt-5.5", .longContext = true, .totals = io(272'001, 2)}}),
            models);
}

TEST_F(TokenUsageServiceTest, RepeatedEventsCountOnceAndStillMoveTheBase) {
  // Running totals only: each event adds its growth over the one before it in its file.
  const std::string log = tokenLine("2025-01-31T09:00:00.000Z", io(10, 1), std::nullopt) +
                          tokenLine("2025-01-31T09:01:00.000Z", io(30, 2), std::nullopt) +
                          tokenLine("2025-01-31T09:01:00.000Z", io(30, 2), std::nullopt) +
                          tokenLine("2025-01-31T09:02:00.000Z", io(60, 3), std::nullopt);
  write("sessions/2025/01/31/a.jsonl", log);
  write("sessions/2025/01/31/copy.jsonl", log);
  // A resumed copy that shares the first events and goes on with its own.
  write("sessions/2025/01/31/resumed.jsonl",
        log + tokenLine("2025-01-31T09:03:00.000Z", io(100, 4), std::nullopt));
  EXPECT_EQ(io(90, 3), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(90, 3), month("2025-01-31T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, AnEventCountsOnItsOwnLocalDayWhereverItsFileLies) {
  useZone("Asia/Tokyo");  // 15:00Z is local midnight
  // A session started on the 31st that runs into the 1st, and is resumed a week later; the
  // new month has no folder yet.
  write("sessions/2025/01/31/a.jsonl", usageLine("2025-01-31T14:59:00.000Z", io(1, 0)) +
                                           usageLine("2025-01-31T15:01:00.000Z", io(20, 0)) +
                                           usageLine("2025-02-07T02:00:00.000Z", io(300, 0)));
  EXPECT_EQ(io(1, 0), day("2025-01-31T14:00:00.000Z"));
  EXPECT_EQ(io(20, 0), day("2025-01-31T16:00:00.000Z"));
  EXPECT_EQ(io(300, 0), day("2025-02-07T03:00:00.000Z"));
  EXPECT_EQ(io(320, 0), month("2025-02-07T03:00:00.000Z"));
  EXPECT_EQ(io(1, 0), month("2025-01-31T14:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, AChangedFileIsReadAgainAndWhatItCountedIsTakenBack) {
  const std::string one = usageLine("2025-01-31T09:00:00.000Z", io(1, 0));
  const std::string two = usageLine("2025-01-31T09:00:01.000Z", io(20, 0));
  const auto log = write("sessions/2025/01/31/a.jsonl", one + two);
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:00:00.000Z"));

  std::filesystem::resize_file(log, one.size());  // shortened
  EXPECT_EQ(io(1, 0), day("2025-01-31T12:01:00.000Z"));

  // Rewritten in place, same file and no shorter.
  std::fstream(log, std::ios::in | std::ios::out | std::ios::binary)
      << usageLine("2025-01-31T09:00:00.000Z", io(7, 0));
  EXPECT_EQ(io(7, 0), day("2025-01-31T12:02:00.000Z"));

  // Replaced by another file under the same name.
  std::filesystem::rename(write("other.jsonl", two + two), log);
  EXPECT_EQ(io(20, 0), day("2025-01-31T12:03:00.000Z"));

  // A last line without its LF counts once, and once more only if it turns into another line.
  append("sessions/2025/01/31/a.jsonl", one.substr(0, one.size() - 1));
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:04:00.000Z"));
  append("sessions/2025/01/31/a.jsonl", "\n");
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:05:00.000Z"));
  append("sessions/2025/01/31/a.jsonl", one.substr(0, one.size() - 3));
  append("sessions/2025/01/31/a.jsonl", "}} ,\n");  // the record goes on and breaks
  EXPECT_EQ(io(21, 0), day("2025-01-31T12:06:00.000Z"));

  write("sessions/2025/01/31/bom.jsonl",
        "\xEF\xBB\xBF" + usageLine("2025-01-31T10:00:00.000Z", io(300, 0)));
  EXPECT_EQ(io(321, 0), day("2025-01-31T12:07:00.000Z"));
}

TEST_F(TokenUsageServiceTest, NoUsageIsAnErrorOfItsOwn) {
  const auto fails = [&](auto query, TokenUsageError::Kind kind) {
    try {
      query();
    } catch (const TokenUsageError& error) {
      return error.kind() == kind;
    }
    return false;
  };
  const auto dayQuery = [&] { service_->fetchDailyUsage(at("2025-01-31T12:00:00.000Z")); };
  const auto monthQuery = [&] { service_->fetchMonthTotals(at("2025-01-31T12:00:00.000Z")); };
  EXPECT_TRUE(fails(dayQuery, TokenUsageError::Kind::missingSessionsDirectory));
  EXPECT_TRUE(fails(monthQuery, TokenUsageError::Kind::missingSessionsDirectory));
  write("sessions/2025/01/01/a.jsonl",
        usageLine("2025-01-01T09:00:00.000Z", io(0, 0)) + otherLine("2025-01-31T09:00:00.000Z"));
  EXPECT_TRUE(fails(dayQuery, TokenUsageError::Kind::missingMonthDirectory));
  EXPECT_TRUE(fails(monthQuery, TokenUsageError::Kind::missingMonthDirectory));
  append("sessions/2025/01/01/a.jsonl", usageLine("2025-01-01T10:00:00.000Z", io(5, 0)));
  EXPECT_TRUE(fails(dayQuery, TokenUsageError::Kind::missingMonthDirectory));
  EXPECT_EQ(io(5, 0), month("2025-01-31T12:00:00.000Z"));
  EXPECT_STREQ("No token logs found for today inside ~/.codex/sessions.",
               TokenUsageError(TokenUsageError::Kind::missingMonthDirectory).errorDescription());
}

// A fork's history as agents 0.100 to 0.140 copy it: the parent's token lines re-stamped with
// the fork's creation time, and the child's own totals going on from the copied ones.
class CopiedHistoryTest : public ServiceFixture {
 protected:
  static constexpr const char* kParent = "0199aaaa-0000-7000-8000-000000000001";
  static constexpr const char* kChild = "0199aaaa-0000-7000-8000-000000000002";
  const TokenTotals r1 = io(1000, 10);
  const TokenTotals r2 = io(2000, 20);
  const TokenTotals own = io(4000, 40);

  std::string parentLog() const {
    return sessionLine("2025-01-10T09:00:00.000Z", kParent) +
           tokenLine("2025-01-10T09:01:00.000Z", r1, r1) +
           tokenLine("2025-01-10T09:02:00.000Z", r1 + r2, r2);
  }
  std::string childLog(bool withParentNamed = true) const {
    const char* copy = "2025-01-20T08:00:00.000Z";
    return sessionLine(copy, kChild,
                       withParentNamed ? std::optional<std::string_view>(kParent) : std::nullopt) +
           tokenLine(copy, r1, r1) + tokenLine(copy, std::nullopt, std::nullopt) +
           tokenLine(copy, r1 + r2, r2) + tokenLine("2025-01-20T09:00:00.000Z", r1 + r2 + own, own);
  }
  std::filesystem::path writeParent(const std::string& folder) {
    return write("sessions/" + folder + "/rollout-2025-01-10T09-00-00-" + kParent + ".jsonl",
                 parentLog());
  }
  void writeChild(bool withParentNamed = true) {
    write(std::string("sessions/2025/01/20/rollout-2025-01-20T08-00-00-") + kChild + ".jsonl",
          childLog(withParentNamed));
  }
};

TEST_F(CopiedHistoryTest, ACopyCountsNothingAndTheOriginalCountsOnItsOwnDay) {
  // Copy read first: the parent lies in a folder that sorts after the child's, and its day is
  // asked about only after the child's.
  writeParent("2025/01/30-moved");
  writeChild();
  EXPECT_EQ(own, day("2025-01-20T12:00:00.000Z"));
  EXPECT_EQ(r1 + r2, day("2025-01-10T12:00:00.000Z"));
  EXPECT_EQ(r1 + r2 + own, month("2025-01-20T12:00:00.000Z"));
  EXPECT_EQ(r1 + r2 + own, monthOf(*freshService(), "2025-01-20T12:00:00.000Z"));
}

TEST_F(CopiedHistoryTest, TheParentIsReadHoweverOldItIs) {
  setModified(writeParent("2024/12/10"), "2025-01-10T10:00:00.000Z");
  writeChild();
  EXPECT_EQ(own, day("2025-01-20T12:00:00.000Z"));
  EXPECT_EQ(2u, service_->trackedFileCount());
}

TEST_F(CopiedHistoryTest, WithoutItsParentACopyCountsOnItsOwnDay) {
  writeChild();
  EXPECT_EQ(r1 + r2 + own, day("2025-01-20T12:00:00.000Z"));
  // The parent appears later: its requests move back to their own day.
  writeParent("2025/01/10");
  EXPECT_EQ(own, day("2025-01-20T12:05:00.000Z"));
  EXPECT_EQ(r1 + r2 + own, month("2025-01-20T12:05:00.000Z"));
}

TEST_F(TokenUsageServiceTest, OddEntriesContributeNothingAndNeverBlock) {
  const auto dayDir = sessions() / "2025/01/31";
  write("sessions/2025/01/31/real.jsonl", usageLine("2025-01-31T09:00:00.000Z", io(5, 0)));
  write("sessions/2025/01/31/empty.jsonl", "");
  ASSERT_EQ(0, ::mkfifo((dayDir / "fifo.jsonl").c_str(), 0600));
  std::filesystem::create_directory(dayDir / "directory.jsonl");
  std::filesystem::create_symlink(dayDir / "nowhere", dayDir / "dangling.jsonl");
  std::filesystem::create_symlink(dayDir / "loop.jsonl", dayDir / "loop.jsonl");
  std::filesystem::create_directory_symlink(sessions(), dayDir / "tree-loop");
  const auto elsewhere =
      write("elsewhere/log.txt", usageLine("2025-01-31T10:00:00.000Z", io(60, 0)));
  std::filesystem::create_symlink(elsewhere, dayDir / "linked.jsonl");
  EXPECT_EQ(io(65, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(65, 0), month("2025-01-31T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, HundredMegabyteLinesStreamThrough) {
  // A plain-text line is dropped as it streams by; a token event padded to 100 MB is kept whole.
  std::string paddedEvent = usageLine("2025-01-31T09:00:02.000Z", io(300, 0));
  paddedEvent.insert(paddedEvent.size() - 3, ",\"pad\":\"" + std::string(100u << 20, 'x') + "\"");
  write("sessions/2025/01/31/a.jsonl", usageLine("2025-01-31T08:00:00.000Z", io(1, 0)) +
                                           otherLine("2025-01-31T09:00:00.000Z", 100u << 20) +
                                           std::string(100u << 20, 'p') + "\n" + paddedEvent);
  EXPECT_EQ(io(301, 0), day("2025-01-31T12:00:00.000Z"));
}

TEST_F(TokenUsageServiceTest, AppendingWhileReadingNeitherLosesNorRepeatsEvents) {
  write("sessions/2025/01/31/a.jsonl", "");
  constexpr int kEvents = 3000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::ofstream out(sessions() / "2025/01/31/a.jsonl", std::ios::binary | std::ios::app);
    for (int i = 0; i < kEvents; ++i) {
      char timestamp[32];
      std::snprintf(timestamp, sizeof timestamp, "2025-01-31T09:%02d:%02d.000Z", i / 60, i % 60);
      const std::string line = otherLine(timestamp, 3000) + usageLine(timestamp, io(1, 0));
      // Written in two pieces, as a writer may be caught between them.
      out.write(line.data(), 1700).flush();
      out.write(line.data() + 1700, static_cast<std::streamsize>(line.size() - 1700)).flush();
    }
    done = true;
  });
  std::int64_t previous = 0;
  while (!done) {
    const std::int64_t seen = day("2025-01-31T12:00:00.000Z").inputTokens;
    EXPECT_GE(seen, previous);
    EXPECT_LE(seen, kEvents);
    previous = seen;
  }
  writer.join();
  EXPECT_EQ(io(kEvents, 0), day("2025-01-31T12:00:00.000Z"));
}

}  // namespace
}  // namespace nubrel::testing
