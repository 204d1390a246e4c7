// SessionTreeGenerator: writes a deterministic, realistic tree of the agent's session logs for
// a span of days of one month, with the usage it must add up to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "bench/ExpectedUsage.h"

namespace nubrel::bench {

struct GeneratorOptions {
  std::filesystem::path root;  // the logs go below root/sessions, the sums to root/expected.tsv
  int year = 2026;
  unsigned month = 11;
  unsigned firstDay = 1;
  unsigned dayCount = 0;  // 0: to the end of the month
  unsigned sessionsPerDay = 20;
  std::uint64_t targetBytes = std::uint64_t(1) << 30;  // of the whole tree, roughly
  std::uint64_t seed = 1;
};

// The layout the agent uses: sessions/YYYY/MM/DD/rollout-YYYY-MM-DDThh-mm-ss-<uuid>.jsonl, by the
// session's start (UTC here). Every session starts on one of the days; the last of each day runs
// past midnight, and one in twenty is resumed days later, appending to its file. Each model
// request logs one turn_context line and, in most sessions (agent 0.58 style), a token event
// repeating the previous usage before it. The same options give the same bytes.
// Returns nullopt when a file cannot be written.
std::optional<ExpectedUsage> generateSessionTree(const GeneratorOptions& options);

std::filesystem::path sessionsPath(const std::filesystem::path& root);
std::filesystem::path expectedUsagePath(const std::filesystem::path& root);

// "yyyy-MM" of the options' month.
std::string monthText(const GeneratorOptions& options);

// Parses "1G", "200M", "64K" or a plain byte count (powers of 1024); nullopt when malformed.
std::optional<std::uint64_t> parseByteSize(std::string_view text);

}  // namespace nubrel::bench
