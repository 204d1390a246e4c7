// Strict ISO 8601 timestamp parsing.
#include "model/Timestamp.h"

#include <cstdint>

namespace nubrel {
namespace {

// Reads exactly `count` decimal digits at `pos`; nullopt if any is missing.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) {
    return std::nullopt;
  }
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

bool charAt(std::string_view text, std::size_t pos, char expected) {
  return pos < text.size() && text[pos] == expected;
}

}  // namespace

std::optional<Instant> parseTimestamp(std::string_view text) {
  using namespace std::chrono;
  // "yyyy-MM-ddTHH:mm:ss" occupies the first 19 characters.
  const auto year = digits(text, 0, 4);
  const auto month = digits(text, 5, 2);
  const auto day = digits(text, 8, 2);
  const auto hour = digits(text, 11, 2);
  const auto minute = digits(text, 14, 2);
  const auto second = digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second || !charAt(text, 4, '-') ||
      !charAt(text, 7, '-') || !charAt(text, 10, 'T') || !charAt(text, 13, ':') ||
      !charAt(text, 16, ':') || !charAt(text, 19, '.')) {
    return std::nullopt;
  }
  const year_month_day date{std::chrono::year{*year}, std::chrono::month{unsigned(*month)},
                            std::chrono::day{unsigned(*day)}};
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }

  std::size_t pos = 20;
  std::int64_t micros = 0;
  std::size_t fractionDigits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (fractionDigits < 6) {
      micros = micros * 10 + (text[pos] - '0');
    }
    ++fractionDigits;
    ++pos;
  }
  if (fractionDigits == 0) {
    return std::nullopt;
  }
  for (std::size_t i = fractionDigits; i < 6; ++i) {
    micros *= 10;
  }

  minutes offset{0};
  if (charAt(text, pos, 'Z')) {
    pos += 1;
  } else if (charAt(text, pos, '+') || charAt(text, pos, '-')) {
    const auto offsetHours = digits(text, pos + 1, 2);
    const auto offsetMinutes = digits(text, pos + 4, 2);
    if (!offsetHours || !offsetMinutes || !charAt(text, pos + 3, ':') || *offsetHours > 23 ||
        *offsetMinutes > 59) {
      return std::nullopt;
    }
    offset = hours{*offsetHours} + minutes{*offsetMinutes};
    if (text[pos] == '-') {
      offset = -offset;
    }
    pos += 6;
  } else {
    return std::nullopt;
  }
  if (pos != text.size()) {
    return std::nullopt;
  }

  const sys_days days{date};
  return Instant{days} + hours{*hour} + minutes{*minute} + seconds{*second} + microseconds{micros} -
         offset;
}

}  // namespace nubrel
