// Builders of session log lines.
#include "support/LogLines.h"

namespace nubrel::testing {

std::string totalsJson(const TokenTotals& t) {
  return "{\"input_tokens\":" + std::to_string(t.inputTokens) +
         ",\"cached_input_tokens\":" + std::to_string(t.cachedInputTokens) +
         ",\"output_tokens\":" + std::to_string(t.outputTokens) +
         ",\"reasoning_output_tokens\":" + std::to_string(t.reasoningOutputTokens) +
         ",\"total_tokens\":" + std::to_string(t.totalTokens) +
         ",\"cache_write_input_tokens\":" + std::to_string(t.cacheWriteInputTokens) + "}";
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
  const std::string head = "{\"timestamp\":\"" + std::string(timestamp) +
                           "\",\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\",";
  if (info.empty()) {
    return head + "\"info\":null,\"rate_limits\":null}}\n";
  }
  return head + "\"info\":{" + info + ",\"model_context_window\":272000},\"rate_limits\":null}}\n";
}

std::string recordLine(std::string_view timestamp, std::string_view responseId,
                       const TokenTotals& usage) {
  return "{\"timestamp\":\"" + std::string(timestamp) +
         "\",\"ordinal\":7,\"type\":\"token_usage_record\",\"payload\":{\"response_id\":\"" +
         std::string(responseId) + "\",\"usage\":" + totalsJson(usage) + "}}\n";
}

std::string turnLine(std::string_view timestamp, std::string_view model) {
  return "{\"timestamp\":\"" + std::string(timestamp) +
         "\",\"type\":\"turn_context\",\"payload\":{\"cwd\":\"/w\",\"model\":\"" +
         std::string(model) + "\"}}\n";
}

std::string sessionLine(std::string_view timestamp, std::string_view id,
                        std::optional<std::string_view> forkedFrom) {
  std::string parent;
  if (forkedFrom) {
    parent = ",\"forked_from_id\":\"" + std::string(*forkedFrom) + "\"";
  }
  return "{\"timestamp\":\"" + std::string(timestamp) +
         "\",\"type\":\"session_meta\",\"payload\":{\"id\":\"" + std::string(id) + "\"" + parent +
         ",\"cwd\":\"/w\"}}\n";
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
