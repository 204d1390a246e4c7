// ExpectedUsage: what a generated session tree must add up to, summed by the generator from the
// usage it drew (not from the files), and how it is stored beside the tree.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model/DailyTokenUsage.h"
#include "model/TokenTotals.h"

namespace nubrel::bench {

// One UTC day of a tree.
struct DayExpectation {
  TokenTotals usage;              // the usage of each model request dated on the day, once
  std::uint64_t requests = 0;     // model requests dated on the day
  std::uint64_t tokenEvents = 0;  // token_count lines dated on the day, repeats included
  // The usage by model, and whether the request's input exceeded kLongContextInputTokens.
  std::map<std::pair<std::string, bool>, TokenTotals> models;
  friend bool operator==(const DayExpectation&, const DayExpectation&) = default;
};

// Facts about the generated files, so that tests and benchmarks can tell what they ran on.
struct TreeStats {
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
  std::uint64_t tokenLineBytes = 0;
  std::uint64_t largeLineBytes = 0;  // non-token lines of 200 bytes to 50 KB
  std::uint64_t longestLine = 0;
  std::uint64_t repeatedEvents = 0;  // token events that repeat the previous usage
  std::uint64_t sessionsPastMidnight = 0;
  std::uint64_t resumedSessions = 0;
  friend bool operator==(const TreeStats&, const TreeStats&) = default;
};

struct ExpectedUsage {
  std::map<std::string, DayExpectation> days;  // by "yyyy-MM-dd", UTC
  TreeStats stats;

  // The sums over the days of one month, "yyyy-MM".
  TokenTotals monthUsage(std::string_view month) const;
  std::uint64_t monthTokenEvents(std::string_view month) const;

  // A model request's usage counts on the UTC day of its token event.
  void addRequest(std::int64_t unixMillis, const TokenTotals& usage, const std::string& model);
  void addTokenEvent(std::int64_t unixMillis);

  friend bool operator==(const ExpectedUsage&, const ExpectedUsage&) = default;
};

// "yyyy-MM-dd" of the UTC day that holds the instant.
std::string utcDayText(std::int64_t unixMillis);

// Field-wise sum without saturation: generated figures stay far from the int64 range, and the
// expected sums should not share code with the service they check.
void addUsage(TokenTotals& sum, const TokenTotals& usage);

// A tab-separated text file, one line per day and per statistic.
bool writeExpectedUsage(const std::filesystem::path& file, const ExpectedUsage& expected);
std::optional<ExpectedUsage> readExpectedUsage(const std::filesystem::path& file);

}  // namespace nubrel::bench
