// Property: a log read piece by piece, however it is cut, gives what one read of the finished
// file gives, and that equals an independent sum over what was written.
#include <gtest/gtest.h>

#include <random>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

struct GeneratedLog {
  std::string text;
  TokenTotals expectedJan31;  // each model request of the day once
};

// A session as the agent writes it, with noise a reader must step over: other lines with multi-
// byte text, CR LF endings, the repeated event before each request, events of the day before,
// damaged and invalid UTF-8 lines.
GeneratedLog generate(std::mt19937& rng) {
  GeneratedLog log;
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<std::int64_t> tokens(0, 5000);
  TokenTotals running;
  std::optional<TokenTotals> lastUsage;
  int second = 0;
  const auto timestamp = [&](bool dayBefore) {
    char text[40];
    std::snprintf(text, sizeof text, "2025-01-%02dT%02d:%02d:%02d.%03dZ", dayBefore ? 30 : 31,
                  second / 3600 % 24, second / 60 % 60, second % 60, second % 1000);
    ++second;
    return std::string(text);
  };
  for (int i = 0; i < 120; ++i) {
    const int kind = percent(rng);
    const bool dayBefore = i < 20;
    if (kind < 35) {
      std::string line = otherLine(timestamp(dayBefore), 80 + std::size_t(percent(rng)) * 20);
      line.insert(line.size() - 4, "é日本😀");
      log.text += line;
    } else if (kind < 45 && lastUsage) {
      log.text += tokenLine(timestamp(dayBefore), running, lastUsage);  // the repeat
    } else if (kind < 50) {
      log.text += percent(rng) < 50 ? "{\"type\":\"event_msg\",\"oops\n" : "\xC3(\xff\n";
    } else {
      TokenTotals usage{.inputTokens = tokens(rng),
                        .cachedInputTokens = 0,
                        .outputTokens = tokens(rng),
                        .reasoningOutputTokens = 0};
      usage.cachedInputTokens = usage.inputTokens / 2;
      usage.reasoningOutputTokens = usage.outputTokens / 3;
      usage.totalTokens = usage.inputTokens + usage.outputTokens;
      if (usage.totalTokens == 0) {
        continue;
      }
      running += usage;
      lastUsage = usage;
      std::string line = tokenLine(timestamp(dayBefore), running, usage);
      if (percent(rng) < 20) {
        line.insert(line.size() - 1, "\r");
      }
      log.text += line;
      if (!dayBefore) {
        log.expectedJan31 += usage;
      }
    }
  }
  return log;
}

class IncrementalPropertyTest : public ServiceFixture {};

TEST_F(IncrementalPropertyTest, PiecewiseReadsEqualOneReadOfTheWholeFile) {
  const std::string kFile = "2025/01/31/a.jsonl";
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const GeneratedLog log = generate(rng);

    fs_ = InMemoryFileSystem{};
    state_ = {};
    fs_.addFile(file(kFile), log.text);
    read(kFile, kJan31);
    const TokenUsageService::FileState whole = state_;
    ASSERT_EQ(log.expectedJan31, whole.totals) << "seed " << seed;

    fs_ = InMemoryFileSystem{};
    state_ = {};
    fs_.setReadSize(std::uniform_int_distribution<std::size_t>(1, 700)(rng));
    fs_.addFile(file(kFile), "");
    std::size_t written = 0;
    while (written < log.text.size()) {
      // Cuts anywhere: inside lines, inside multi-byte characters, right after a CR.
      const std::size_t piece = std::min(log.text.size() - written,
                                         std::uniform_int_distribution<std::size_t>(1, 900)(rng));
      fs_.append(file(kFile), log.text.substr(written, piece));
      written += piece;
      read(kFile, kJan31);
    }
    EXPECT_EQ(whole.totals, state_.totals) << "seed " << seed;
    EXPECT_EQ(whole.previousTotals, state_.previousTotals) << "seed " << seed;
    EXPECT_EQ(whole.lastSignature, state_.lastSignature) << "seed " << seed;
    EXPECT_EQ(whole.offset, state_.offset) << "seed " << seed;
  }
}

}  // namespace
}  // namespace nubrel::testing
