// ExpectedUsage: sums by UTC day and the tab-separated file that carries them.
#include "bench/ExpectedUsage.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace nubrel::bench {
namespace {

// The statistics in file order, so that writing and reading cannot drift apart.
std::vector<std::pair<const char*, std::uint64_t TreeStats::*>> statFields() {
  return {{"files", &TreeStats::files},
          {"bytes", &TreeStats::bytes},
          {"lines", &TreeStats::lines},
          {"tokenLineBytes", &TreeStats::tokenLineBytes},
          {"largeLineBytes", &TreeStats::largeLineBytes},
          {"longestLine", &TreeStats::longestLine},
          {"repeatedEvents", &TreeStats::repeatedEvents},
          {"sessionsPastMidnight", &TreeStats::sessionsPastMidnight},
          {"resumedSessions", &TreeStats::resumedSessions}};
}

}  // namespace

std::string utcDayText(std::int64_t unixMillis) {
  using namespace std::chrono;
  const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(unixMillis)));
  const year_month_day date(day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

void addUsage(TokenTotals& sum, const TokenTotals& usage) {
  sum.inputTokens += usage.inputTokens;
  sum.cachedInputTokens += usage.cachedInputTokens;
  sum.outputTokens += usage.outputTokens;
  sum.reasoningOutputTokens += usage.reasoningOutputTokens;
  sum.totalTokens += usage.totalTokens;
}

void ExpectedUsage::addRequest(std::int64_t unixMillis, const TokenTotals& usage,
                               const std::string& model) {
  DayExpectation& day = days[utcDayText(unixMillis)];
  addUsage(day.usage, usage);
  addUsage(day.models[{model, usage.inputTokens > kLongContextInputTokens}], usage);
  ++day.requests;
}

void ExpectedUsage::addTokenEvent(std::int64_t unixMillis) {
  ++days[utcDayText(unixMillis)].tokenEvents;
}

TokenTotals ExpectedUsage::monthUsage(std::string_view month) const {
  TokenTotals sum;
  for (const auto& [day, expectation] : days) {
    if (day.starts_with(month)) {
      addUsage(sum, expectation.usage);
    }
  }
  return sum;
}

std::uint64_t ExpectedUsage::monthTokenEvents(std::string_view month) const {
  std::uint64_t count = 0;
  for (const auto& [day, expectation] : days) {
    if (day.starts_with(month)) {
      count += expectation.tokenEvents;
    }
  }
  return count;
}

bool writeExpectedUsage(const std::filesystem::path& file, const ExpectedUsage& expected) {
  std::ofstream out(file, std::ios::trunc);
  out << "# day input cached output reasoning total requests tokenEvents; model day id long "
         "input cached output reasoning total; stat name value\n";
  const auto counters = [&out](const TokenTotals& usage) {
    out << '\t' << usage.inputTokens << '\t' << usage.cachedInputTokens << '\t'
        << usage.outputTokens << '\t' << usage.reasoningOutputTokens << '\t' << usage.totalTokens;
  };
  for (const auto& [day, e] : expected.days) {
    out << "day\t" << day;
    counters(e.usage);
    out << '\t' << e.requests << '\t' << e.tokenEvents << '\n';
    for (const auto& [key, usage] : e.models) {
      out << "model\t" << day << '\t' << key.first << '\t' << key.second;
      counters(usage);
      out << '\n';
    }
  }
  for (const auto& [name, field] : statFields()) {
    out << "stat\t" << name << '\t' << expected.stats.*field << '\n';
  }
  out.flush();
  return static_cast<bool>(out);
}

std::optional<ExpectedUsage> readExpectedUsage(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) {
    return std::nullopt;
  }
  ExpectedUsage expected;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind;
    std::string name;
    fields >> kind >> name;
    if (kind == "day") {
      DayExpectation& e = expected.days[name];
      fields >> e.usage.inputTokens >> e.usage.cachedInputTokens >> e.usage.outputTokens >>
          e.usage.reasoningOutputTokens >> e.usage.totalTokens >> e.requests >> e.tokenEvents;
    } else if (kind == "model") {
      std::pair<std::string, bool> key;
      fields >> key.first >> key.second;
      TokenTotals& usage = expected.days[name].models[key];
      fields >> usage.inputTokens >> usage.cachedInputTokens >> usage.outputTokens >>
          usage.reasoningOutputTokens >> usage.totalTokens;
    } else if (kind == "stat") {
      for (const auto& [statName, field] : statFields()) {
        if (name == statName) {
          fields >> expected.stats.*field;
        }
      }
    } else {
      continue;  // the header comment
    }
    if (fields.fail()) {
      return std::nullopt;
    }
  }
  return expected;
}

}  // namespace nubrel::bench
