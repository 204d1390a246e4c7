// The month scan: every log file of a month read whole, each token event of the month once.
#include <algorithm>

#include "service/SeenEvents.h"
#include "service/TokenUsageService.h"

namespace nubrel {

TokenTotals TokenUsageService::fetchMonthTotals(Instant instant) {
  const CacheKey key = makeCacheKey(instant);
  if (!fileSystem_.exists(sessionsDirectory_)) {
    throw TokenUsageError(TokenUsageError::Kind::missingSessionsDirectory);
  }
  const std::optional<std::filesystem::path> dir = monthDirectory(key);
  std::optional<std::vector<std::filesystem::path>> files;
  if (dir) {
    files = listLogFiles(*dir);
  }
  if (!files) {
    throw TokenUsageError(TokenUsageError::Kind::missingMonthDirectory);
  }
  // The walk's order is the platform's; sorting makes a run repeatable.
  std::sort(files->begin(), files->end(),
            [](const auto& a, const auto& b) { return a.native() < b.native(); });

  SeenEvents seen;
  TokenTotals monthSum;
  for (const std::filesystem::path& location : *files) {
    const std::unique_ptr<ReadableFile> file = fileSystem_.openForReading(location);
    if (!file) {
      continue;
    }
    std::optional<TokenTotals> previousTotals;
    const auto onLine = [&](std::string_view line) {
      const std::optional<TokenEvent> event = TokenEvent::decode(decoder_, line);
      if (!event) {
        return;
      }
      const CacheKey eventDay = calendar_.dayOf(event->instant);
      if (eventDay.year != key.year || eventDay.month != key.month) {
        return;
      }
      if (!seen.insert(event->signature)) {
        return;
      }
      if (const std::optional<TokenTotals> raw = event->advance(previousTotals)) {
        monthSum += raw->normalized();
      }
    };
    LineScanner scanner;
    streamFile(*file, buffer_, scanner, onLine);
    // A last line without its LF counts like any other; a record still being written simply
    // fails to decode.
    if (const std::optional<std::string_view> last = scanner.unfinishedLine()) {
      onLine(*last);
    }
  }
  return monthSum;
}

}  // namespace nubrel
