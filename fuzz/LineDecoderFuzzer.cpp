// Fuzz target: the log line decoder, the look at a line's start that lets the readers drop lines
// unread, and the timestamp parser. Aborts when the look drops a line that decodes as a token
// event, or when a parsed timestamp does not name the instant its text says.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/Timestamp.h"
#include "model/TokenLogLine.h"

namespace {

using namespace std::chrono;
using nubrel::LineOutlook;

// The readers drop a line on the verdict of its complete text, and the incremental reader on the
// verdict of any start of it that arrived before the rest: both must spare every token event.
void checkLookAgreesWithDecoder(std::string_view line, bool tokenEvent) {
  if (!tokenEvent) {
    return;
  }
  if (nubrel::lookAtLineStart(line, true) == LineOutlook::ignored) {
    std::abort();
  }
  const std::size_t longest = std::min<std::size_t>(line.size(), 1024);
  for (std::size_t length = 0; length <= longest; ++length) {
    if (nubrel::lookAtLineStart(line.substr(0, length), false) == LineOutlook::ignored) {
      std::abort();
    }
  }
}

int digitsAt(std::string_view text, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// A parsed "...Z" timestamp must give back its own date, time and first six fraction digits.
void checkTimestamp(std::string_view text) {
  const std::optional<nubrel::Instant> instant = nubrel::parseTimestamp(text);
  if (!instant || text.empty() || text.back() != 'Z') {
    return;
  }
  const sys_days day = floor<days>(*instant);
  const year_month_day date(day);
  const hh_mm_ss<microseconds> time(*instant - day);
  std::int64_t micros = 0;
  std::size_t pos = 20;
  for (int i = 0; i < 6; ++i) {
    micros = micros * 10 + (pos < text.size() - 1 ? text[pos++] - '0' : 0);
  }
  if (int(date.year()) != digitsAt(text, 0, 4) ||
      unsigned(date.month()) != unsigned(digitsAt(text, 5, 2)) ||
      unsigned(date.day()) != unsigned(digitsAt(text, 8, 2)) ||
      time.hours().count() != digitsAt(text, 11, 2) ||
      time.minutes().count() != digitsAt(text, 14, 2) ||
      time.seconds().count() != digitsAt(text, 17, 2) || time.subseconds().count() != micros) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static nubrel::TokenLogLineDecoder decoder;  // reused, as the readers reuse theirs
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<nubrel::TokenLogLine> decoded = decoder.decode(line);
  checkLookAgreesWithDecoder(line, decoded && decoded->isTokenEvent());
  checkTimestamp(line);
  if (decoded && decoded->timestamp) {
    checkTimestamp(*decoded->timestamp);
  }
  return 0;
}
