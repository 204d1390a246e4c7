// The daily query and its cache.
#include "service/TokenUsageService.h"

#include <cstdio>
#include <set>

namespace nubrel {
namespace {

// One read chunk: large enough that a read costs little beside the copy, small enough that it
// stays in the CPU cache while the lines in it are split and looked at.
constexpr std::size_t kChunkSize = 256 * 1024;

}  // namespace

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
                                     std::filesystem::path sessionsDirectory)
    : fileSystem_(fileSystem),
      calendar_(calendar),
      sessionsDirectory_(std::move(sessionsDirectory)),
      buffer_(kChunkSize) {}

std::vector<DailyTokenUsage> TokenUsageService::fetchDailyUsage(Instant instant) {
  const CacheKey key = makeCacheKey(instant);
  if (!fileSystem_.exists(sessionsDirectory_)) {
    throw TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory);
  }
  if (cacheKey_ != key) {
    resetCache(key);
  }
  const std::vector<std::filesystem::path> files = collectLogFiles(key);
  if (files.empty()) {
    cachedUsage_.reset();
    cacheDirty_ = true;
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  pruneFileStates(files);
  for (const std::filesystem::path& file : files) {
    auto found = fileStates_.find(file);
    FileState state = found == fileStates_.end() ? FileState{} : std::move(found->second);
    ReadResult result = readNewEvents(file, std::move(state), key);
    fileStates_.insert_or_assign(file, std::move(result.state));
    if (result.changed) {
      cacheDirty_ = true;
    }
  }
  if (!cachedUsage_ || cacheDirty_) {
    cachedUsage_ = makeDailyUsage(key);  // throws before anything changes
    cacheDirty_ = false;
  }
  return *cachedUsage_;
}

void TokenUsageService::resetCache(const CacheKey& key) {
  cacheKey_ = key;
  fileStates_.clear();
  cachedUsage_.reset();
  cacheDirty_ = true;
}

void TokenUsageService::pruneFileStates(const std::vector<std::filesystem::path>& keeping) {
  const std::set<std::filesystem::path> kept(keeping.begin(), keeping.end());
  const auto removed =
      std::erase_if(fileStates_, [&](const auto& entry) { return !kept.contains(entry.first); });
  if (removed > 0) {
    cacheDirty_ = true;
  }
}

std::vector<DailyTokenUsage> TokenUsageService::makeDailyUsage(const CacheKey& day) const {
  TokenTotals totals;
  bool hasData = false;
  for (const auto& [location, state] : fileStates_) {
    totals += state.totals;
    hasData = hasData || state.hasTargetDayData;
  }
  if (!hasData) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  const std::string text = dayKeyText(day);
  return {DailyTokenUsage{.id = text,
                          .date = calendar_.startOf(day),
                          .displayDate = text,
                          .totals = totals,
                          .models = {}}};
}

}  // namespace nubrel
