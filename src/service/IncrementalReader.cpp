// Brings one log file up to date for the day being counted, reading only what was appended
// since the previous call.
#include "service/TokenUsageService.h"

namespace nubrel {

TokenUsageService::ReadResult TokenUsageService::readNewEvents(
    const std::filesystem::path& location, FileState state, const CacheKey& day) {
  const std::optional<FileInfo> info = fileSystem_.info(location);
  const std::uint64_t size = info ? info->size : 0;
  const std::optional<std::uint64_t> number = info ? info->fileNumber : std::nullopt;

  ReadResult result{.state = std::move(state), .changed = false};
  FileState& s = result.state;
  // A new file number, or a file shorter than what was consumed: replaced or cut short.
  if (s.fileIdentifier != number || size < s.offset) {
    s = FileState{};
    s.fileIdentifier = number;
    result.changed = true;
  }
  // A file that has not grown is not opened, even with a line pending: nothing can complete it.
  if (size == s.offset) {
    return result;
  }
  const std::unique_ptr<ReadableFile> file = fileSystem_.openForReading(location);
  // A failed seek leaves the offset where it was rather than reading from the start again.
  if (!file || (s.offset > 0 && !file->seek(s.offset))) {
    return result;
  }

  LineScanner scanner(std::move(s.leftover));
  const std::uint64_t bytesRead = streamFile(*file, buffer_, scanner, [&](std::string_view line) {
    const std::optional<TokenEvent> event = TokenEvent::decode(decoder_, line);
    if (!event || s.lastSignature == event->signature) {
      return;
    }
    s.lastSignature = event->signature;
    if (event->rateLimits && (!latestLimits_ || latestLimits_->observedAt < event->instant)) {
      latestLimits_ = RateLimitSnapshot{.limits = *event->rateLimits, .observedAt = event->instant};
    }
    // The base moves with every event, of any day, so the first event counted today adds only
    // its own growth.
    const std::optional<TokenTotals> raw = event->advance(s.previousTotals);
    if (!raw || calendar_.dayOf(event->instant) != day) {
      return;
    }
    const TokenTotals increment = raw->normalized();
    if (increment.totalTokens == 0) {
      return;
    }
    s.totals += increment;
    s.hasTargetDayData = true;
    result.changed = true;
  });
  s.leftover = scanner.carry();
  // The bytes actually read, not the size seen above: bytes appended in between were read too
  // and must not be read again.
  s.offset += bytesRead;
  return result;
}

}  // namespace nubrel
