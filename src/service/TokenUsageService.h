// TokenUsageService: reads the agent's session logs into one usage ledger and answers from it
// how many tokens were used on a day and in a month. Every log file is read once, from where the
// last read stopped; each model request counts once, on the day of its own timestamp.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/TokenLogLine.h"
#include "service/Calendar.h"
#include "service/FileSystem.h"
#include "service/LineScanner.h"
#include "service/TokenEvent.h"
#include "service/TokenUsageError.h"
#include "service/TokenUsageSource.h"
#include "service/UsageLedger.h"

namespace nubrel {

class TokenUsageService : public TokenUsageSource {
 public:
  // fileSystem and calendar must outlive the service. sessionsDirectory is where the agent keeps
  // its session logs (see sessionsDirectory() in SessionsDirectory.h); the archived sessions are
  // read from "archived_sessions" beside it.
  // matchCopies off keys an event with both usage vectors by its timestamp like any other, and
  // reads no parent for its sake: the counting of agents that copy no history, kept so that the
  // benchmarks can weigh what matching copies costs.
  TokenUsageService(const FileSystem& fileSystem, const Calendar& calendar,
                    std::filesystem::path sessionsDirectory, bool matchCopies = true);

  // A query brings the ledger up to date (walks the tree and reads what the logs gained) unless
  // it follows a readAhead for the same instant, or asks about an earlier instant than the last
  // walk's: those answer from what was read then, reading only older files they newly need.
  bool readAhead(Instant from, Instant now, std::uint64_t byteBudget) override;
  std::vector<DailyTokenUsage> fetchDailyUsage(Instant instant) override;
  TokenTotals fetchMonthTotals(Instant instant) override;
  MonthTokenUsage fetchMonthUsage(Instant instant) override;
  std::optional<RateLimitSnapshot> latestLimits(Instant asOf) const override;

  // What the ledger holds, for tests and benchmarks.
  const UsageLedger& ledger() const { return ledger_; }
  std::size_t trackedFileCount() const { return files_.size(); }
  std::uint64_t bytesRead() const { return bytesRead_; }

 private:
  // A file's identity: the same file reached under two names (a hard link, a symbolic link, a
  // move into the archive) is one file.
  struct Identity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    friend bool operator==(const Identity&, const Identity&) = default;
  };
  struct IdentityHash {
    std::size_t operator()(const Identity& identity) const {
      return identity.number * 0x9e3779b97f4a7c15ULL ^ identity.device;
    }
  };

  // What the lines of a file so far leave for its next line.
  struct Cursor {
    std::optional<TokenTotals> previousTotals;    // base for increments from running totals
    std::optional<EventSignature> lastSignature;  // the last token event, to skip its repeat
    UsageLedger::ModelId model = 0;               // of the latest turn_context
    bool countsRecords = false;                   // a token_usage_record was met
    std::uint64_t sequence = 0;                   // lines handed to the ledger so far
  };

  // Hashes of the first and the last few kilobytes read, to tell a file rewritten in place from
  // one appended to without reading it all again.
  struct Fingerprint {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
  };

  struct TrackedFile {
    UsageLedger::FileId id = 0;
    std::filesystem::path location;
    std::uint64_t offset = 0;  // bytes consumed; the next read starts here
    std::optional<PartialLine> leftover;
    std::int64_t modified = 0;  // the modification time when last read
    // Changed within a tick of the file system's clock of being read: a rewrite in that tick
    // would leave size and time as they were, so the bytes are looked at again.
    bool racy = false;
    Fingerprint fingerprint;
    Cursor cursor;
    // An unfinished last line that already decodes counts; these undo it when the line goes on.
    std::optional<Cursor> beforeUnfinished;
    std::size_t sightingsBeforeUnfinished = 0;
    bool sessionSeen = false;  // its session_meta was read
    bool queued = false;
    std::uint64_t walked = 0;  // the last walk that met it
  };

  struct WalkedFile {
    std::filesystem::path location;
    FileInfo info;
  };

  static Identity identityOf(const std::filesystem::path& path, const FileInfo& info);
  void requireSessionsDirectory() const;
  UsageLedger::DayNumber dayNumber(const CacheKey& day) const;
  void cover(Instant from);
  void bringUpToDate(Instant from, Instant instant);
  bool advance(Instant from, Instant now, std::uint64_t byteBudget);
  void walk();
  TrackedFile& track(const Identity& identity, const std::filesystem::path& location);
  void enqueue(TrackedFile& file, const Identity& identity);
  void trackParents();
  bool readQueued(std::uint64_t byteBudget);

  // Brings one file up to date; false when the budget ran out before its end.
  bool readFile(TrackedFile& file, std::uint64_t& byteBudget);
  std::optional<Fingerprint> fingerprintOf(ReadableFile& handle, std::uint64_t offset);
  static void noteRead(TrackedFile& file, const FileInfo& info);
  void restart(TrackedFile& file);
  void processLine(TrackedFile& file, std::string_view line);
  // Counts the request whose identity is in key_.
  void countRequest(TrackedFile& file, Instant instant, const TokenTotals& increment,
                    bool longContext);
  UsageLedger::DayNumber dayOf(Instant instant);

  const FileSystem& fileSystem_;
  const Calendar& calendar_;
  const std::filesystem::path sessionsDirectory_;
  const std::filesystem::path archiveDirectory_;
  const bool matchCopies_;
  TokenLogLineDecoder decoder_;
  std::vector<char> buffer_;
  std::string key_;  // the identity of the request being counted
  // The local day of the last event: the next one is most often on the same day.
  Instant dayFrom_{Instant::max()};
  Instant dayUntil_{Instant::min()};
  UsageLedger::DayNumber dayNumber_ = 0;

  UsageLedger ledger_;
  std::unordered_map<Identity, TrackedFile, IdentityHash> files_;
  std::uint64_t walkCount_ = 0;
  std::vector<WalkedFile> dormant_;         // files of the last walk not read for lack of need
  std::vector<std::string> parentsToFind_;  // sessions named as parents by the files read
  std::deque<Identity> queue_;              // files to bring up to date
  std::optional<Instant> coveredFrom_;      // files older than this are not read
  std::optional<Instant> walkedFor_;        // the refresh of the last walk
  std::optional<Instant> preparedFor_;      // the refresh whose readAhead read everything
  bool walking_ = false;                    // the queue of that walk is not read to its end
  UsageLedger::FileId nextFileId_ = 0;
  // The newest limits of each day, so that a query as of an earlier day finds that day's.
  std::map<UsageLedger::DayNumber, RateLimitSnapshot> limitsByDay_;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace nubrel
