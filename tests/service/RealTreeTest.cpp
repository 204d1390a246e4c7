// The usage service on real session trees on disk: the agent's own logs, odd entries, files that
// change while they are read, and a line of 100 MB.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/PosixFileSystem.h"
#include "platform/ZonedCalendar.h"
#include "service/TokenUsageService.h"
#include "support/LogLines.h"
#include "support/TempDir.h"
#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

const std::string kSample040 =
    "rollout-2025-09-24T19-22-20-01997e76-d124-7592-9cac-2ec05abbca08.jsonl";
const std::string kSample058 =
    "rollout-2025-11-17T15-30-28-019a93b9-f380-7600-98ff-940e6b99603c.jsonl";

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class RealTreeTest : public ::testing::Test {
 protected:
  void useZone(const char* zone) {
    calendar_ = ZonedCalendar::named(zone);
    ASSERT_TRUE(calendar_);
    service_ = std::make_unique<TokenUsageService>(fs_, *calendar_, sessions());
  }
  std::filesystem::path sessions() const { return dir_.path() / "sessions"; }
  std::filesystem::path write(const std::string& relative, std::string_view contents) {
    return dir_.write(std::filesystem::path("sessions") / relative, contents);
  }
  // Places a real log under the day directory its name gives.
  void placeSample(const std::string& name) {
    const std::string day = name.substr(8, 4) + "/" + name.substr(13, 2) + "/" + name.substr(16, 2);
    write(day + "/" + name, readAll(std::filesystem::path(NUBREL_SAMPLES_DIR) / name));
  }
  TokenTotals day(std::string_view timestamp) {
    return service_->fetchDailyUsage(at(timestamp)).front().totals;
  }
  TokenTotals month(std::string_view timestamp) {
    return service_->fetchMonthTotals(at(timestamp));
  }

  TempDir dir_;
  PosixFileSystem fs_;
  std::unique_ptr<ZonedCalendar> calendar_;
  std::unique_ptr<TokenUsageService> service_;
};

TEST_F(RealTreeTest, TheAgentsOwnLogsSumToTheirFinalRunningTotals) {
  useZone("UTC");
  placeSample(kSample040);
  placeSample(kSample058);
  // Every model request once: the 0.58 log repeats each usage before the next request.
  const TokenTotals final040{7494343, 7290112, 99678, 72192, 7594021};
  const TokenTotals final058{1099261, 1027328, 22305, 19520, 1121566};
  EXPECT_EQ(final040, day("2025-09-25T12:00:00.000Z")) << "the file lies in 09/24";
  EXPECT_EQ(final040, month("2025-09-25T12:00:00.000Z"));
  EXPECT_EQ(final058, day("2025-11-17T23:00:00.000Z"));
  EXPECT_EQ(final058, month("2025-11-30T23:00:00.000Z"));
}

TEST_F(RealTreeTest, EventsCountOnTheirLocalDayWhereverTheFileLies) {
  useZone("Pacific/Kiritimati");  // UTC+14: 10:00Z is already local midnight of the next day
  write("2025/01/30/a.jsonl", usageLine("2025-01-30T09:59:00.000Z", io(1, 0)) +
                                  usageLine("2025-01-30T10:01:00.000Z", io(20, 0)));
  write("2025/01/31/b.jsonl", usageLine("2025-01-30T11:00:00.000Z", io(300, 0)) +
                                  usageLine("2025-01-31T11:00:00.000Z", io(4000, 0)));
  EXPECT_EQ(io(320, 0), day("2025-01-30T12:00:00.000Z"));
  EXPECT_EQ(io(1, 0), day("2025-01-30T09:00:00.000Z"));
  EXPECT_EQ(io(4000, 0), day("2025-01-31T11:30:00.000Z"));
}

TEST_F(RealTreeTest, ADayThatBeginsInADaylightSavingGap) {
  useZone("America/Santiago");  // 2022-09-11 has no 00:00; it begins at 01:00 (-03)
  write("2022/09/10/a.jsonl",
        usageLine("2022-09-11T03:30:00.000Z", io(1, 0)) +       // 23:30 on 10th
            usageLine("2022-09-11T04:30:00.000Z", io(20, 0)));  // 01:30 on 11th
  const auto usage = service_->fetchDailyUsage(at("2022-09-11T15:00:00.000Z"));
  EXPECT_EQ("2022-09-11", usage.front().id);
  EXPECT_EQ(at("2022-09-11T04:00:00.000Z"), usage.front().date);
  EXPECT_EQ(io(20, 0), usage.front().totals);
  EXPECT_EQ(io(1, 0), day("2022-09-11T02:00:00.000Z"));
}

TEST_F(RealTreeTest, OddEntriesContributeNothingAndNeverBlock) {
  useZone("UTC");
  const auto dayDir = sessions() / "2025/01/31";
  write("2025/01/31/real.jsonl", usageLine("2025-01-31T09:00:00.000Z", io(5, 0)));
  write("2025/01/31/empty.jsonl", "");
  ASSERT_EQ(0, ::mkfifo((dayDir / "fifo.jsonl").c_str(), 0600));
  std::filesystem::create_directory(dayDir / "directory.jsonl");
  std::filesystem::create_symlink(dayDir / "nowhere", dayDir / "dangling.jsonl");
  std::filesystem::create_symlink(dayDir / "loop.jsonl", dayDir / "loop.jsonl");
  std::filesystem::create_directory_symlink(sessions(), dayDir / "tree-loop");
  const auto elsewhere =
      dir_.write("elsewhere/log.txt", usageLine("2025-01-31T10:00:00.000Z", io(60, 0)));
  std::filesystem::create_symlink(elsewhere, dayDir / "linked.jsonl");

  EXPECT_EQ(io(65, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(65, 0), day("2025-01-31T12:05:00.000Z"));
  EXPECT_EQ(io(65, 0), month("2025-01-31T12:00:00.000Z"));
}

TEST_F(RealTreeTest, AHundredMegabyteLineStreamsThrough) {
  useZone("UTC");
  std::string huge = otherLine("2025-01-31T09:00:00.000Z", 100u << 20);
  write("2025/01/31/a.jsonl", usageLine("2025-01-31T08:00:00.000Z", io(1, 0)) + huge +
                                  usageLine("2025-01-31T09:00:01.000Z", io(20, 0)));
  // A token event padded to 100 MB must be kept whole to be decoded.
  std::string paddedEvent = usageLine("2025-01-31T09:00:02.000Z", io(300, 0));
  paddedEvent.insert(paddedEvent.size() - 3, ",\"pad\":\"" + std::string(100u << 20, 'x') + "\"");
  dir_.append("sessions/2025/01/31/a.jsonl", paddedEvent);
  EXPECT_EQ(io(321, 0), day("2025-01-31T12:00:00.000Z"));
  EXPECT_EQ(io(321, 0), month("2025-01-31T12:00:00.000Z"));
}

TEST_F(RealTreeTest, ReplacedAndTruncatedFilesAreReadAfresh) {
  useZone("UTC");
  const auto log = write("2025/01/31/a.jsonl", usageLine("2025-01-31T09:00:00.000Z", io(5, 0)) +
                                                   usageLine("2025-01-31T09:00:01.000Z", io(6, 0)));
  EXPECT_EQ(io(11, 0), day("2025-01-31T12:00:00.000Z"));
  std::filesystem::resize_file(log, usageLine("2025-01-31T09:00:00.000Z", io(5, 0)).size());
  EXPECT_EQ(io(5, 0), day("2025-01-31T12:00:00.000Z"));

  const auto replacement =
      dir_.write("replacement.jsonl", usageLine("2025-01-31T10:00:00.000Z", io(70, 0)));
  std::filesystem::rename(replacement, log);
  EXPECT_EQ(io(70, 0), day("2025-01-31T12:00:00.000Z"));
}

TEST_F(RealTreeTest, AppendingWhileReadingNeitherLosesNorRepeatsEvents) {
  useZone("UTC");
  write("2025/01/31/a.jsonl", "");
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
    try {
      const std::int64_t seen = day("2025-01-31T12:00:00.000Z").inputTokens;
      EXPECT_GE(seen, previous);
      EXPECT_LE(seen, kEvents);
      previous = seen;
    } catch (const TokenUsageError&) {
      // No event written yet.
    }
  }
  writer.join();
  EXPECT_EQ(io(kEvents, 0), day("2025-01-31T12:00:00.000Z"));
}

}  // namespace
}  // namespace nubrel::testing
