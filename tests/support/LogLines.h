// Builders of session log lines as the agent writes them, each with its LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/TokenTotals.h"

namespace nubrel::testing {

std::string totalsJson(const TokenTotals& totals);  // {"input_tokens":…,"cached_input_tokens":…}
// A token_count event with running totals, its own usage, both or neither, and the plan's limits.
std::string tokenLine(std::string_view timestamp, std::optional<TokenTotals> total,
                      std::optional<TokenTotals> last, std::string_view rateLimits = "null");
inline std::string usageLine(std::string_view timestamp, const TokenTotals& last) {
  return tokenLine(timestamp, std::nullopt, last);
}
// A token_usage_record: one model response's own usage.
std::string recordLine(std::string_view timestamp, std::string_view responseId,
                       const TokenTotals& usage);
std::string turnLine(std::string_view timestamp, std::string_view model);  // a turn_context
// A session_meta; a fork or a sub-agent names its parent session.
std::string sessionLine(std::string_view timestamp, std::string_view id,
                        std::optional<std::string_view> forkedFrom = std::nullopt);
// A response item of about `size` bytes that mentions the token event's words.
std::string otherLine(std::string_view timestamp, std::size_t size = 200);

// Input and output only, total = input + output.
inline TokenTotals io(std::int64_t input, std::int64_t output) {
  return {.inputTokens = input, .outputTokens = output, .totalTokens = input + output};
}

}  // namespace nubrel::testing
