// Builders of session log lines.
#include "support/LogLines.h"

namespace nubrel::testing {
namespace {

std::string head(std::string_view timestamp, std::string_view type) {
  return "{\"timestamp\":\"" + std::string(timestamp) + "\",\"type\":\"" + std::string(type) +
         "\",\"payload\":";
}

}  // namespace

std::string totalsJson(const TokenTotals& t) {
  return "{\"input_tokens\":" + std::to_string(t.inputTokens) +
         ",\"cached_input_tokens\":" + std::to_string(t.cachedInputTokens) +
         ",\"output_tokens\":" + std::to_string(t.outputTokens) +
         ",\"reasoning_output_tokens\":" + std::to_string(t.reasoningOutputTokens) +
         ",\"total_tokens\":" + std::to_string(t.totalTokens) +
         ",\"cache_write_input_tokens\":" + std::to_string(t.cacheWriteInputTokens) + "}";
}

std::string tokenLine(std::string_view timestamp, std::optional<TokenTotals> total,
                      std::optional<TokenTotals> last, std::string_view rateLimits) {
  std::string info = total ? "\"total_token_usage\":" + totalsJson(*total) : "";
  if (last) {
    info += std::string(info.empty() ? "" : ",") + "\"last_token_usage\":" + totalsJson(*last);
  }
  info = info.empty() ? "null" : "{" + info + ",\"model_context_window\":272000}";
  return head(timestamp, "event_msg") + "{\"type\":\"token_count\",\"info\":" + info +
         ",\"rate_limits\":" + std::string(rateLimits) + "}}\n";
}

std::string recordLine(std::string_view timestamp, std::string_view responseId,
                       const TokenTotals& usage) {
  // Agent 0.169 writes an ordinal before the type.
  return "{\"timestamp\":\"" + std::string(timestamp) +
         "\",\"ordinal\":7,\"type\":\"token_usage_record\",\"payload\":{\"response_id\":\"" +
         std::string(responseId) + "\",\"usage\":" + totalsJson(usage) + "}}\n";
}

std::string turnLine(std::string_view timestamp, std::string_view model) {
  return head(timestamp, "turn_context") + "{\"cwd\":\"/w\",\"model\":\"" + std::string(model) +
         "\"}}\n";
}

std::string sessionLine(std::string_view timestamp, std::string_view id,
                        std::optional<std::string_view> forkedFrom) {
  const std::string parent =
      forkedFrom ? ",\"forked_from_id\":\"" + std::string(*forkedFrom) + "\"" : "";
  return head(timestamp, "session_meta") + "{\"id\":\"" + std::string(id) + "\"" + parent +
         ",\"cwd\":\"/w\"}}\n";
}

std::string otherLine(std::string_view timestamp, std::size_t size) {
  // The event's words, so that no test passes only because a line lacks them.
  std::string line =
      head(timestamp, "response_item") + "{\"type\":\"message\",\"text\":\"token_count event_msg ";
  while (line.size() + 4 < size) {
    line += "word ";
  }
  return line + "\"}}\n";
}

}  // namespace nubrel::testing
