// The queries, and which files the ledger reads: every log of the sessions tree and of the
// archive, each once, leaving out those too old for the days asked about.
#include "service/TokenUsageService.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <set>

namespace nubrel {
namespace {

// One read chunk: large enough that a read costs little beside the copy, small enough that it
// stays in the CPU cache while the lines in it are split and looked at.
constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::uint64_t kNoBudget = std::numeric_limits<std::uint64_t>::max();

Instant instantOfNanoseconds(std::int64_t nanoseconds) {
  return Instant(std::chrono::microseconds(nanoseconds / 1000));
}

}  // namespace

TokenUsageService::Identity TokenUsageService::identityOf(const std::filesystem::path& path,
                                                          const FileInfo& info) {
  return Identity{info.device, info.fileNumber.value_or(std::hash<std::string>{}(path.native()))};
}

const char* TokenUsageError::errorDescription() const noexcept {
  switch (kind_) {
  case Kind::missingSessionsDirectory:
    return "Expected to find ~/.codex/sessions but it is missing.";
  case Kind::missingMonthDirectory:
    break;
  }
  return "No token logs found for today inside ~/.codex/sessions.";
}

std::string dayKeyText(const CacheKey& day) {
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(day.year),
                static_cast<long long>(day.month), static_cast<long long>(day.day));
  return text;
}

TokenUsageService::TokenUsageService(const FileSystem& fileSystem, const Calendar& calendar,
                                     std::filesystem::path sessionsDirectory, bool matchCopies)
    : fileSystem_(fileSystem),
      calendar_(calendar),
      sessionsDirectory_(std::move(sessionsDirectory)),
      archiveDirectory_(sessionsDirectory_.parent_path() / "archived_sessions"),
      matchCopies_(matchCopies),
      buffer_(kChunkSize) {}

void TokenUsageService::requireSessionsDirectory() const {
  if (!fileSystem_.exists(sessionsDirectory_)) {
    throw TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory);
  }
}

UsageLedger::DayNumber TokenUsageService::dayNumber(const CacheKey& day) const {
  const std::chrono::sys_days days{std::chrono::year(static_cast<int>(day.year)) /
                                   static_cast<int>(day.month) / static_cast<int>(day.day)};
  return static_cast<UsageLedger::DayNumber>(days.time_since_epoch().count());
}

UsageLedger::DayNumber TokenUsageService::dayOf(Instant instant) {
  if (instant < dayFrom_ || instant >= dayUntil_) {
    const CacheKey day = calendar_.dayOf(instant);
    dayNumber_ = dayNumber(day);
    const std::chrono::year_month_day next{
        std::chrono::sys_days(std::chrono::days(dayNumber_ + 1))};
    dayFrom_ = calendar_.startOf(day);
    dayUntil_ = calendar_.startOf(CacheKey{.year = static_cast<int>(next.year()),
                                           .month = static_cast<unsigned>(next.month()),
                                           .day = static_cast<unsigned>(next.day())});
  }
  return dayNumber_;
}

std::vector<DailyTokenUsage> TokenUsageService::fetchDailyUsage(Instant instant) {
  requireSessionsDirectory();
  const CacheKey day = calendar_.dayOf(instant);
  const Instant start = calendar_.startOf(day);
  bringUpToDate(start, instant);
  const UsageLedger::DayNumber number = dayNumber(day);
  UsageLedger::DayTotals totals = ledger_.totals(number, number);
  if (totals.requests == 0) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  const std::string text = dayKeyText(day);
  return {DailyTokenUsage{.id = text,
                          .date = start,
                          .displayDate = text,
                          .totals = totals.totals,
                          .models = std::move(totals.models)}};
}

MonthTokenUsage TokenUsageService::fetchMonthUsage(Instant instant) {
  requireSessionsDirectory();
  const CacheKey day = calendar_.dayOf(instant);
  const CacheKey first{.year = day.year, .month = day.month, .day = 1};
  bringUpToDate(calendar_.startOf(first), instant);
  const std::chrono::year_month_day_last last{std::chrono::year(static_cast<int>(day.year)) /
                                              static_cast<int>(day.month) / std::chrono::last};
  UsageLedger::DayTotals totals =
      ledger_.totals(dayNumber(first), dayNumber(CacheKey{
                                           .year = day.year,
                                           .month = day.month,
                                           .day = static_cast<unsigned>(last.day()),
                                       }));
  if (totals.requests == 0) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  return MonthTokenUsage{.totals = totals.totals, .models = std::move(totals.models)};
}

std::optional<RateLimitSnapshot> TokenUsageService::latestLimits(Instant asOf) const {
  // A day's newest snapshot stands for the day; one written after `asOf` on its own day gives
  // way to the day before's.
  for (auto it = limitsByDay_.upper_bound(dayNumber(calendar_.dayOf(asOf)));
       it != limitsByDay_.begin();) {
    --it;
    if (it->second.observedAt <= asOf) {
      return it->second;
    }
  }
  return std::nullopt;
}

TokenTotals TokenUsageService::fetchMonthTotals(Instant instant) {
  return fetchMonthUsage(instant).totals;
}

bool TokenUsageService::readAhead(Instant from, Instant now, std::uint64_t byteBudget) {
  if (!advance(from, now, byteBudget)) {
    return false;
  }
  preparedFor_ = now;
  return true;
}

bool TokenUsageService::advance(Instant from, Instant now, std::uint64_t byteBudget) {
  if (!fileSystem_.exists(sessionsDirectory_)) {
    return true;  // the fetch says why
  }
  cover(from);
  if (!walking_) {
    walk();
    walking_ = true;
    walkedFor_ = now;
  }
  if (!readQueued(byteBudget)) {
    return false;
  }
  walking_ = false;
  return true;
}

void TokenUsageService::bringUpToDate(Instant from, Instant instant) {
  // A refresh walks the tree once: after its readAhead, the queries of the same instant and of
  // earlier days answer from what it read, reading only older files they newly need. A query of
  // a later instant, or one without a readAhead before it, walks again.
  if (preparedFor_ != instant && (!walkedFor_ || *walkedFor_ <= instant)) {
    advance(from, instant, kNoBudget);
  } else {
    cover(from);
    readQueued(kNoBudget);
  }
}

void TokenUsageService::cover(Instant from) {
  if (coveredFrom_ && *coveredFrom_ <= from) {
    return;
  }
  coveredFrom_ = from;
  // Files the last walk left out may hold the days now asked about.
  std::vector<WalkedFile> stillDormant;
  for (WalkedFile& walked : dormant_) {
    if (instantOfNanoseconds(walked.info.modifiedNanoseconds) >= from) {
      track(identityOf(walked.location, walked.info), walked.location);
    } else {
      stillDormant.push_back(std::move(walked));
    }
  }
  dormant_ = std::move(stillDormant);
}

void TokenUsageService::walk() {
  ++walkCount_;
  dormant_.clear();
  std::uint64_t toRead = 0;
  for (const std::filesystem::path& dir : {sessionsDirectory_, archiveDirectory_}) {
    std::optional<std::vector<ListedFile>> listed = fileSystem_.listFiles(dir, ".jsonl");
    if (!listed) {
      continue;
    }
    for (ListedFile& entry : *listed) {
      const FileInfo& info = entry.info;
      if (!info.isRegular) {
        continue;
      }
      const Identity identity = identityOf(entry.path, info);
      const auto found = files_.find(identity);
      if (found == files_.end()) {
        if (instantOfNanoseconds(info.modifiedNanoseconds) >= *coveredFrom_) {
          track(identity, entry.path);
          toRead += info.size;
        } else {
          dormant_.push_back(WalkedFile{.location = std::move(entry.path), .info = info});
        }
        continue;
      }
      TrackedFile& file = found->second;
      // Of a file's names the first in path order is kept, whatever the walk's order: a file
      // moved into the archive goes on being read where it was.
      if (file.walked != walkCount_ || entry.path.native() < file.location.native()) {
        if (file.location != entry.path) {
          file.location = std::move(entry.path);
          ledger_.setFilePath(file.id, file.location.native());
        }
      }
      if (file.walked == walkCount_) {
        continue;  // another name of a file already taken
      }
      file.walked = walkCount_;
      if (info.size != file.offset || info.modifiedNanoseconds != file.modified || file.racy) {
        enqueue(file, identity);
        toRead += info.size - std::min(info.size, file.offset);
      }
    }
  }
  // About one counted request in 12 KB of log, to grow the ledger's table once.
  ledger_.reserve(static_cast<std::size_t>(toRead / 12'000));
  // Files gone since the last walk take back what they added.
  for (auto it = files_.begin(); it != files_.end();) {
    if (it->second.walked == walkCount_) {
      ++it;
    } else {
      ledger_.withdrawFile(it->second.id);
      it = files_.erase(it);
    }
  }
}

TokenUsageService::TrackedFile& TokenUsageService::track(const Identity& identity,
                                                         const std::filesystem::path& location) {
  const auto [found, inserted] = files_.try_emplace(identity);
  if (inserted) {
    found->second.id = nextFileId_++;
    found->second.location = location;
    found->second.walked = walkCount_;
    ledger_.setFilePath(found->second.id, location.native());
  }
  enqueue(found->second, identity);
  return found->second;
}

void TokenUsageService::enqueue(TrackedFile& file, const Identity& identity) {
  if (!file.queued) {
    file.queued = true;
    queue_.push_back(identity);
  }
}

void TokenUsageService::trackParents() {
  // A fork or a sub-agent may start with a copy of its parent's history; the parent is read
  // whatever its age, so that the copy is recognised as one.
  for (const std::string& parent : parentsToFind_) {
    const std::string suffix = parent + ".jsonl";
    const auto match = [&](const WalkedFile& walked) {
      const std::string name = walked.location.filename().string();
      return name.size() >= suffix.size() &&
             name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    const auto found = std::find_if(dormant_.begin(), dormant_.end(), match);
    if (found != dormant_.end()) {
      const WalkedFile walked = *found;
      dormant_.erase(found);
      track(identityOf(walked.location, walked.info), walked.location);
    }
  }
  parentsToFind_.clear();
}

bool TokenUsageService::readQueued(std::uint64_t byteBudget) {
  for (;;) {
    while (!queue_.empty()) {
      const auto found = files_.find(queue_.front());
      if (found != files_.end()) {
        if (!readFile(found->second, byteBudget)) {
          return false;
        }
        found->second.queued = false;
      }
      queue_.pop_front();
    }
    if (parentsToFind_.empty()) {
      return true;
    }
    trackParents();
  }
}

}  // namespace nubrel
