// Brings one log file up to date in the ledger: reads what was appended since the last read,
// starts over when the bytes already read changed, and counts each line's model request.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "model/Timestamp.h"
#include "service/TokenUsageService.h"

namespace nubrel {
namespace {

void appendTotals(std::string& key, const TokenTotals& totals) {
  for (const std::int64_t field :
       {totals.inputTokens, totals.cachedInputTokens, totals.outputTokens,
        totals.reasoningOutputTokens, totals.totalTokens, totals.cacheWriteInputTokens}) {
    char bytes[sizeof field];
    std::memcpy(bytes, &field, sizeof field);
    key.append(bytes, sizeof bytes);
  }
}

// Reads exactly out.size() bytes from the file's current position; false when it cannot.
bool readExactly(ReadableFile& handle, std::span<char> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::optional<std::size_t> count = handle.read(out.subspan(done));
    if (!count || *count == 0) {
      return false;
    }
    done += *count;
  }
  return true;
}

constexpr std::uint64_t kFingerprintBytes = 1024;

}  // namespace

std::optional<TokenUsageService::Fingerprint> TokenUsageService::fingerprintOf(
    ReadableFile& handle, std::uint64_t offset) {
  const std::uint64_t length = std::min(offset, kFingerprintBytes);
  std::array<char, kFingerprintBytes> bytes{};
  Fingerprint print;
  if (!handle.seek(0) || !readExactly(handle, std::span(bytes.data(), length))) {
    return std::nullopt;
  }
  print.head = hashBytes(std::string_view(bytes.data(), length), 1);
  if (!handle.seek(offset - length) || !readExactly(handle, std::span(bytes.data(), length))) {
    return std::nullopt;
  }
  print.tail = hashBytes(std::string_view(bytes.data(), length), 2);
  return print;
}

void TokenUsageService::noteRead(TrackedFile& file, const FileInfo& info) {
  file.modified = info.modifiedNanoseconds;
  const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  file.racy = now - info.modifiedNanoseconds < 2'000'000'000;
}

void TokenUsageService::restart(TrackedFile& file) {
  ledger_.withdrawFile(file.id);
  TrackedFile fresh;
  fresh.id = file.id;
  fresh.location = std::move(file.location);
  fresh.queued = file.queued;
  fresh.walked = file.walked;
  file = std::move(fresh);
}

bool TokenUsageService::readFile(TrackedFile& file, std::uint64_t& byteBudget) {
  const std::optional<FileInfo> info = fileSystem_.info(file.location);
  if (!info) {
    return true;  // gone; the next walk takes back what it added
  }
  if (info->size < file.offset) {
    restart(file);
  }
  const std::unique_ptr<ReadableFile> handle = fileSystem_.openForReading(file.location);
  if (!handle) {
    return true;  // unreadable for now: what it added stays, and the next refresh tries again
  }
  if (file.offset > 0 && fingerprintOf(*handle, file.offset) != file.fingerprint) {
    restart(file);  // rewritten in place: what was read is no longer there
  }
  if (info->size == file.offset) {
    noteRead(file, *info);
    return true;
  }
  // An unfinished last line that was counted is read again with what follows it.
  if (file.beforeUnfinished) {
    ledger_.withdrawAfter(file.id, file.sightingsBeforeUnfinished, file.beforeUnfinished->sequence);
    file.cursor = *file.beforeUnfinished;
    file.beforeUnfinished.reset();
  }
  // A failed seek leaves the offset where it was rather than reading from the start again.
  if (!handle->seek(file.offset)) {
    return true;
  }

  LineScanner scanner(std::move(file.leftover));
  const auto onLine = [&](std::string_view line) { processLine(file, line); };
  bool atEnd = false;
  while (!atEnd && byteBudget > 0) {
    const std::size_t want = std::min<std::uint64_t>(buffer_.size(), byteBudget);
    const std::optional<std::size_t> count = handle->read(std::span(buffer_.data(), want));
    // A failed read ends the file where it failed: what was read before counts, and the offset
    // stops after it.
    if (!count || *count == 0) {
      atEnd = true;
      break;
    }
    const std::string_view bytes(buffer_.data(), *count);
    // A UTF-8 byte-order mark before the first line is not part of it.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    scanner.feed(file.offset == 0 && bytes.starts_with(kByteOrderMark)
                     ? bytes.substr(kByteOrderMark.size())
                     : bytes,
                 onLine);
    file.offset += *count;
    bytesRead_ += *count;
    byteBudget -= *count;
  }
  file.leftover = scanner.carry();
  file.fingerprint = fingerprintOf(*handle, file.offset).value_or(Fingerprint{});
  if (!atEnd) {
    return false;
  }
  noteRead(file, *info);
  // A last line without its LF counts once it is a whole record, and is taken back if it goes on.
  if (const std::optional<std::string_view> last = scanner.unfinishedLine()) {
    file.beforeUnfinished = file.cursor;
    file.sightingsBeforeUnfinished = ledger_.sightingsOf(file.id);
    processLine(file, *last);
  }
  return true;
}

void TokenUsageService::processLine(TrackedFile& file, std::string_view line) {
  std::optional<TokenLogLine> decoded = decoder_.decode(line);
  if (!decoded) {
    return;
  }
  TokenLogLine::Payload* payload = decoded->payload ? &*decoded->payload : nullptr;
  if (decoded->isTurnContext()) {
    if (payload->model) {
      file.cursor.model = ledger_.internModel(*payload->model);
    }
    return;
  }
  if (decoded->isSessionMeta()) {
    // The first session_meta is the file's own; a resumed session may write more.
    if (!file.sessionSeen) {
      file.sessionSeen = true;
      if (payload->parentSessionId && matchCopies_) {
        parentsToFind_.push_back(*payload->parentSessionId);
      }
    }
    return;
  }
  if (!decoded->timestamp) {
    return;
  }
  const std::optional<Instant> instant = parseTimestamp(*decoded->timestamp);
  if (!instant) {
    return;
  }
  if (decoded->isUsageRecord()) {
    // From a file's first record on, the records carry its usage, one per model response, and
    // cover requests (remote compaction) that no token_count does.
    file.cursor.countsRecords = true;
    const TokenTotals increment = payload->usage->normalized();
    if (increment.totalTokens != 0) {
      key_ = "r";
      key_ += *payload->responseId;
      countRequest(file, *instant, increment,
                   payload->usage->inputTokens > kLongContextInputTokens);
    }
    return;
  }
  if (!decoded->isTokenEvent()) {
    return;
  }
  TokenEvent event{.instant = *instant,
                   .signature = {},
                   .total = {},
                   .last = {},
                   .rateLimits = std::move(payload->rateLimits)};
  if (payload->info) {
    event.total = payload->info->totalTokenUsage;
    event.last = payload->info->lastTokenUsage;
  }
  if (event.rateLimits) {
    const auto [found, inserted] = limitsByDay_.try_emplace(
        dayOf(*instant), RateLimitSnapshot{.limits = *event.rateLimits, .observedAt = *instant});
    if (!inserted && found->second.observedAt < *instant) {
      found->second = RateLimitSnapshot{.limits = *event.rateLimits, .observedAt = *instant};
    }
  }
  event.signature.timestamp = std::move(*decoded->timestamp);
  event.signature.totals = event.total ? event.total : event.last;
  if (file.cursor.lastSignature == event.signature) {
    return;  // the event just before, written again
  }
  file.cursor.lastSignature = event.signature;
  // The base moves with every event, counted or not, so the next one adds only its own growth.
  const std::optional<TokenTotals> raw = event.advance(file.cursor.previousTotals);
  if (file.cursor.countsRecords || !raw) {
    return;
  }
  const TokenTotals increment = raw->normalized();
  if (increment.totalTokens == 0) {
    return;
  }
  // An event with both vectors is one model request wherever it is met: a fork or a sub-agent
  // may start with a re-stamped copy of its parent's. Without them, the timestamp tells.
  if (event.total && event.last && matchCopies_) {
    key_ = "v";
    appendTotals(key_, *event.total);
    appendTotals(key_, *event.last);
  } else {
    key_ = "s";
    key_ += event.signature.timestamp;
    appendTotals(key_, *event.signature.totals);
  }
  countRequest(file, *instant, increment,
               event.last && event.last->inputTokens > kLongContextInputTokens);
}

void TokenUsageService::countRequest(TrackedFile& file, Instant instant,
                                     const TokenTotals& increment, bool longContext) {
  ledger_.add(key_, UsageLedger::Occurrence{.file = file.id,
                                            .sequence = file.cursor.sequence++,
                                            .instant = instant,
                                            .day = dayOf(instant),
                                            .model = file.cursor.model,
                                            .longContext = longContext,
                                            .increment = increment});
}

}  // namespace nubrel
