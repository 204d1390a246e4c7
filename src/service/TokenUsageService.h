// TokenUsageService: reads the agent's session logs and answers how many tokens were used on a
// day, reading each file incrementally between calls, and in a month, in one full scan.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/TokenLogLine.h"
#include "service/Calendar.h"
#include "service/FileSystem.h"
#include "service/LineScanner.h"
#include "service/TokenEvent.h"
#include "service/TokenUsageError.h"
#include "service/TokenUsageSource.h"

namespace nubrel {

class TokenUsageService : public TokenUsageSource {
 public:
  // The read state of one log file for the day being counted.
  struct FileState {
    std::uint64_t offset = 0;                     // bytes consumed; the next read starts here
    std::optional<PartialLine> leftover;          // the unfinished line before offset
    TokenTotals totals;                           // what this file counted for the day
    bool hasTargetDayData = false;                // at least one event counted since the reset
    std::optional<std::uint64_t> fileIdentifier;  // the inode seen at the last call
    std::optional<TokenTotals> previousTotals;    // base for increments from running totals
    std::optional<EventSignature> lastSignature;  // the last token event processed
    friend bool operator==(const FileState&, const FileState&) = default;
  };

  struct ReadResult {
    FileState state;
    bool changed = false;  // reset, or at least one event counted
  };

  // fileSystem and calendar must outlive the service. sessionsDirectory is where the agent keeps
  // its session logs (see sessionsDirectory() in SessionsDirectory.h).
  TokenUsageService(const FileSystem& fileSystem, const Calendar& calendar,
                    std::filesystem::path sessionsDirectory);

  std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) override;
  TokenTotals fetchMonthTotals(Instant instant) override;
  std::optional<RateLimitSnapshot> latestLimits() const override { return latestLimits_; }

  // The steps below are public for their tests; nothing else calls them.

  // The log files of a day: those of the day's own directory and of the rest of its month, or
  // when the month holds none, every log file of the tree; sorted by path.
  std::vector<std::filesystem::path> collectLogFiles(const CacheKey& day) const;
  std::optional<std::filesystem::path> dayDirectory(const CacheKey& day) const;
  std::optional<std::filesystem::path> monthDirectory(const CacheKey& day) const;
  // Entries below dir whose extension is exactly "jsonl"; nullopt when dir cannot be walked.
  std::optional<std::vector<std::filesystem::path>> listLogFiles(
      const std::filesystem::path& dir) const;

  // Brings one file's state up to date for the day, reading only what was appended.
  ReadResult readNewEvents(const std::filesystem::path& location, FileState state,
                           const CacheKey& day);

  CacheKey makeCacheKey(Instant instant) const { return calendar_.dayOf(instant); }

  const std::optional<CacheKey>& cacheKey() const { return cacheKey_; }
  const std::map<std::filesystem::path, FileState>& fileStates() const { return fileStates_; }

 private:
  void resetCache(const CacheKey& key);
  void pruneFileStates(const std::vector<std::filesystem::path>& keeping);
  std::vector<DailyTokenUsage> makeDailyUsage(const CacheKey& day) const;

  const FileSystem& fileSystem_;
  const Calendar& calendar_;
  const std::filesystem::path sessionsDirectory_;
  TokenLogLineDecoder decoder_;
  std::vector<char> buffer_;  // one read chunk, kept between calls

  std::optional<CacheKey> cacheKey_;
  std::map<std::filesystem::path, FileState> fileStates_;
  std::optional<std::vector<DailyTokenUsage>> cachedUsage_;
  bool cacheDirty_ = true;
  std::optional<RateLimitSnapshot> latestLimits_;
};

}  // namespace nubrel
