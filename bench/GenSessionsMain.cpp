// nubrel-gen-sessions: writes a generated session tree and the totals it must add up to.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/SessionTreeGenerator.h"

namespace {

constexpr const char* kUsage =
    "usage: nubrel-gen-sessions --root DIR [--month YYYY-MM] [--first-day N] [--days N]\n"
    "                           [--sessions-per-day N] [--target-bytes SIZE] [--seed N]\n"
    "Writes DIR/sessions/YYYY/MM/DD/rollout-*.jsonl and DIR/expected.tsv. SIZE takes K, M, G.\n";

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

bool parseMonth(std::string_view text, nubrel::bench::GeneratorOptions& options) {
  return text.size() == 7 && text[4] == '-' && parseNumber(text.substr(0, 4), options.year) &&
         parseNumber(text.substr(5), options.month);
}

bool parseOption(std::string_view name, std::string_view value,
                 nubrel::bench::GeneratorOptions& options) {
  if (name == "--root") {
    options.root = std::string(value);
    return !value.empty();
  }
  if (name == "--month") {
    return parseMonth(value, options);
  }
  if (name == "--first-day") {
    return parseNumber(value, options.firstDay);
  }
  if (name == "--days") {
    return parseNumber(value, options.dayCount);
  }
  if (name == "--sessions-per-day") {
    return parseNumber(value, options.sessionsPerDay);
  }
  if (name == "--seed") {
    return parseNumber(value, options.seed);
  }
  if (name == "--target-bytes") {
    const auto bytes = nubrel::bench::parseByteSize(value);
    options.targetBytes = bytes.value_or(0);
    return bytes.has_value();
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  nubrel::bench::GeneratorOptions options;
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc || !parseOption(argv[i], argv[i + 1], options)) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (options.root.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto expected = nubrel::bench::generateSessionTree(options);
  if (!expected) {
    std::fprintf(stderr, "nubrel-gen-sessions: cannot write the tree below %s\n",
                 options.root.c_str());
    return 1;
  }
  const auto& stats = expected->stats;
  const std::string month = nubrel::bench::monthText(options);
  std::printf(
      "%llu files, %.1f MB, %llu lines (longest %llu bytes); token lines %.1f%% of the bytes, "
      "large lines %.1f%%\n%llu repeated usage events, %llu sessions past midnight, %llu resumed\n"
      "month %s: %lld tokens in %llu token events\n",
      static_cast<unsigned long long>(stats.files), double(stats.bytes) / 1e6,
      static_cast<unsigned long long>(stats.lines),
      static_cast<unsigned long long>(stats.longestLine),
      100.0 * double(stats.tokenLineBytes) / double(stats.bytes),
      100.0 * double(stats.largeLineBytes) / double(stats.bytes),
      static_cast<unsigned long long>(stats.repeatedEvents),
      static_cast<unsigned long long>(stats.sessionsPastMidnight),
      static_cast<unsigned long long>(stats.resumedSessions), month.c_str(),
      static_cast<long long>(expected->monthUsage(month).totalTokens),
      static_cast<unsigned long long>(expected->monthTokenEvents(month)));
  return 0;
}
