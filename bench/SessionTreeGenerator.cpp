// Plans the sessions of each day and writes their files.
#include "bench/SessionTreeGenerator.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/Random.h"
#include "bench/SessionLog.h"
#include "bench/SessionText.h"

namespace nubrel::bench {
namespace {

constexpr std::int64_t kMinuteMillis = 60'000;
constexpr std::int64_t kDayMillis = 1'440 * kMinuteMillis;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file || std::fwrite(contents.data(), 1, contents.size(), file.get()) != contents.size()) {
    return false;
  }
  return std::fclose(file.release()) == 0;
}

// "rollout-2026-11-03T09-15-02-<uuid>.jsonl"
std::string fileName(std::int64_t startMillis, const std::string& uuid) {
  std::string stamp = timestampText(startMillis).substr(0, 19);
  std::replace(stamp.begin() + 11, stamp.end(), ':', '-');
  return "rollout-" + stamp + "-" + uuid + ".jsonl";
}

std::filesystem::path dayDirectory(const std::filesystem::path& root, std::int64_t dayMillis) {
  const std::string day = utcDayText(dayMillis);
  return sessionsPath(root) / day.substr(0, 4) / day.substr(5, 2) / day.substr(8, 2);
}

// The day's sessions in start order: spread over the day, and one late that goes past midnight.
std::vector<SessionPlan> planDay(std::int64_t dayMillis, const GeneratorOptions& options,
                                 std::uint64_t& sessionIndex, std::uint64_t perSession,
                                 Random& random) {
  std::vector<SessionPlan> plans(options.sessionsPerDay);
  for (std::size_t i = 0; i < plans.size(); ++i) {
    SessionPlan& plan = plans[i];
    const bool late = i + 1 == plans.size();
    plan.pastMidnight = late;
    plan.startMillis =
        dayMillis + (late ? random.between(1'380, 1'430) * kMinuteMillis
                          : random.between(5 * kMinuteMillis, 1'370 * kMinuteMillis));
    plan.byteBudget = static_cast<std::uint64_t>(double(perSession) * (0.3 + 1.4 * random.unit()));
    plan.repeatsUsage = random.chance(0.85);
    if (sessionIndex++ % 20 == 7) {
      plan.resumedAfterMillis = random.between(kDayMillis, 3 * kDayMillis);
    }
  }
  std::sort(plans.begin(), plans.end(),
            [](const auto& a, const auto& b) { return a.startMillis < b.startMillis; });
  for (SessionPlan& plan : plans) {
    plan.uuid = sessionUuid(plan.startMillis, random);
  }
  return plans;
}

// Agents 0.100 to 0.140 start a fork's file with a copy of every line of its parent, token lines
// included, re-stamped with the fork's creation time. The fork here ends with the copy, so the
// tree's usage is the same with or without it: a reader that counts the copy is wrong.
std::string forkOf(const std::string& parent, const std::string& parentUuid,
                   const std::string& uuid, std::int64_t forkMillis) {
  const std::string stamp = timestampText(forkMillis);
  constexpr std::string_view kHead = R"({"timestamp":")";
  std::string out = std::string(kHead) + stamp + R"(","type":"session_meta","payload":{"id":")" +
                    uuid + R"(","forked_from_id":")" + parentUuid + R"(","cwd":"/w"}})" + "\n";
  std::size_t start = 0;
  while (start < parent.size()) {
    const std::size_t end = std::min(parent.find('\n', start), parent.size() - 1);
    std::string line = parent.substr(start, end + 1 - start);
    if (line.starts_with(kHead) && line.size() > kHead.size() + stamp.size()) {
      line.replace(kHead.size(), stamp.size(), stamp);
    }
    out += line;
    start = end + 1;
  }
  return out;
}

}  // namespace

std::filesystem::path sessionsPath(const std::filesystem::path& root) {
  return root / "sessions";
}

std::filesystem::path expectedUsagePath(const std::filesystem::path& root) {
  return root / "expected.tsv";
}

std::string monthText(const GeneratorOptions& options) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u", options.year, options.month);
  return text;
}

std::optional<std::uint64_t> parseByteSize(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) {
    return std::nullopt;
  }
  const std::string_view unit(end, std::size_t(text.data() + text.size() - end));
  const int shift = unit.empty() ? 0 : unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : -1;
  if (shift < 0 || value > (UINT64_MAX >> shift)) {
    return std::nullopt;
  }
  return value << shift;
}

std::optional<ExpectedUsage> generateSessionTree(const GeneratorOptions& options) {
  using namespace std::chrono;
  const year_month month{year{options.year}, std::chrono::month{options.month}};
  const auto lastDay = static_cast<unsigned>(year_month_day_last(month / last).day());
  if (!month.ok() || options.firstDay < 1 || options.firstDay > lastDay ||
      options.sessionsPerDay == 0) {
    return std::nullopt;
  }
  const unsigned dayCount = options.dayCount == 0
                                ? lastDay - options.firstDay + 1
                                : std::min(options.dayCount, lastDay - options.firstDay + 1);
  const std::uint64_t perSession =
      options.targetBytes / (std::uint64_t(dayCount) * options.sessionsPerDay);

  Random random(options.seed);
  const TextPools pools(random);
  ExpectedUsage expected;
  std::uint64_t sessionIndex = 0;
  std::uint64_t written = 0;
  bool forkDue = false;
  std::string contents;
  for (unsigned d = 0; d < dayCount; ++d) {
    const std::int64_t dayMillis =
        duration_cast<milliseconds>(sys_days(month / (options.firstDay + d)).time_since_epoch())
            .count();
    Random dayRandom = random.fork();
    const std::filesystem::path dir = dayDirectory(options.root, dayMillis);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    for (const SessionPlan& plan :
         planDay(dayMillis, options, sessionIndex, perSession, dayRandom)) {
      Random sessionRandom = dayRandom.fork();
      const SessionSummary summary = writeSession(plan, pools, sessionRandom, expected, contents);
      if (!writeFile(dir / fileName(plan.startMillis, plan.uuid), contents)) {
        return std::nullopt;
      }
      TreeStats& stats = expected.stats;
      ++stats.files;
      stats.bytes += contents.size();
      // One fork in 25 sessions. It comes after its parent's last line, so the next session not
      // resumed days later is taken.
      forkDue = forkDue || ++written % 25 == 11;
      if (forkDue && !plan.resumedAfterMillis) {
        forkDue = false;
        const std::int64_t forkMillis = summary.lastMillis + 30 * kMinuteMillis;
        const std::string uuid = sessionUuid(forkMillis, sessionRandom);
        const std::string fork = forkOf(contents, plan.uuid, uuid, forkMillis);
        const std::filesystem::path forkDir =
            dayDirectory(options.root, forkMillis - forkMillis % kDayMillis);
        std::filesystem::create_directories(forkDir, error);
        if (!writeFile(forkDir / fileName(forkMillis, uuid), fork)) {
          return std::nullopt;
        }
        ++stats.files;
        stats.bytes += fork.size();
      }
      stats.sessionsPastMidnight +=
          summary.lastMillis / kDayMillis != plan.startMillis / kDayMillis;
      stats.resumedSessions += plan.resumedAfterMillis.has_value();
    }
  }
  if (!writeExpectedUsage(expectedUsagePath(options.root), expected)) {
    return std::nullopt;
  }
  return expected;
}

}  // namespace nubrel::bench
