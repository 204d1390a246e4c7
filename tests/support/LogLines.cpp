// Builders of session log lines.
#include "support/LogLines.h"

namespace nubrel::testing {

std::string totalsJson(const TokenTotals& t) {
  return "{\"input_tokens\":" + std::to_string(t.inputTokens) +
         ",\"cached_input_tokens\":" + std::to_string(t.cachedInputTokens) +
         ",\"output_tokens\":" + std::to_string(t.outputTokens) +
         ",\"reasoning_output_tokens\":" + std::to_string(t.reasoningOutputTokens) +
         ",\"total_tokens\":" + std::to_string(t.totalTokens) + "}";
}

std::string tokenLine(std::string_view timestamp, std::optional<TokenTotals> total,
                      std::optional<TokenTotals> last) {
  std::string info;
  if (total) {
    info += "\"total_token_usage\":" + totalsJson(*total);
  }
  if (last) {
    info += std::string(info.empty() ? "" : ",") + "\"last_token_usage\":" + totalsJson(*last);
  }
  return "{\"timestamp\":\"" + std::string(timestamp) +
         "\",\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\",\"info\":{" + info +
         ",\"model_context_window\":272000},\"rate_limits\":null}}\n";
}

std::string otherLine(std::string_view timestamp, std::size_t size) {
  std::string line = "{\"timestamp\":\"" + std::string(timestamp) +
                     "\",\"type\":\"response_item\",\"payload\":{\"type\":\"message\",\"text\":\"";
  // Mentions the event type, so that no test passes only because a line lacks the word.
  line += "token_count event_msg ";
  while (line.size() + 4 < size) {
    line += "word ";
  }
  return line + "\"}}\n";
}

}  // namespace nubrel::testing
