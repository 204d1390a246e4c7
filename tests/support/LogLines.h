// Builders of session log lines as the agent writes them, for tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/TokenTotals.h"

namespace nubrel::testing {

// {"input_tokens":…,"cached_input_tokens":…,…,"total_tokens":…}
std::string totalsJson(const TokenTotals& totals);

// One token_count event line with its LF; either usage may be absent.
std::string tokenLine(std::string_view timestamp, std::optional<TokenTotals> total,
                      std::optional<TokenTotals> last);

// A token event that carries only its own usage.
inline std::string usageLine(std::string_view timestamp, const TokenTotals& last) {
  return tokenLine(timestamp, std::nullopt, last);
}

// A non-token line (a response item) of about `size` bytes, with its LF.
std::string otherLine(std::string_view timestamp, std::size_t size = 200);

// Shorthand: input and output only, total = input + output.
inline TokenTotals io(std::int64_t input, std::int64_t output) {
  return {.inputTokens = input, .outputTokens = output, .totalTokens = input + output};
}

}  // namespace nubrel::testing
