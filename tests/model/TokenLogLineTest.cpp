#include "model/TokenLogLine.h"

#include <gtest/gtest.h>

#include <string>

namespace nubrel {
namespace {

// A token event whose last_token_usage object is `tokens`.
std::string eventWith(const std::string& tokens) {
  return R"({"timestamp":"2025-01-31T10:00:00.000Z","type":"event_msg","payload":{"type":)"
         R"("token_count","info":{"last_token_usage":)" +
         tokens + "}}}";
}

enum class Is { refused, other, token };

// The decoder's key table: whole lines, and the token objects inside a token event.
TEST(TokenLogLineTest, KeyTable) {
  const struct {
    std::string line;
    Is expected;
    std::optional<TokenTotals> last = std::nullopt;  // checked when given
  } cases[] = {
      {eventWith(R"({"input_tokens":null})"), Is::token, TokenTotals{}},
      {eventWith(R"({"total_tokens":9223372036854775807})"),
       Is::token,
       {{.totalTokens = 9223372036854775807}}},
      {eventWith(R"({"cache_read_input_tokens":40})"), Is::token, {{.cachedInputTokens = 40}}},
      {eventWith(R"({"cache_read_input_tokens":40,"cached_input_tokens":10})"),
       Is::token,
       {{.cachedInputTokens = 10}}},
      {eventWith(R"({"cache_read_input_tokens":"40","cache_write_input_tokens":"2"})"), Is::token,
       TokenTotals{}},  // the older and the newer key count as absent when damaged
      {eventWith(R"({"reasoning_output_tokens":4,"extra":{"nested":[1,2]}})"),
       Is::token,
       {{.reasoningOutputTokens = 4}}},
      {eventWith(R"({"input_tokens":12.0})"), Is::refused},
      {eventWith(R"({"total_tokens":9223372036854775808})"), Is::refused},
      {eventWith(R"({"cached_input_tokens":"40"})"), Is::refused},
      {R"({"type":"event_msg","payload":{"type":"token_count","info":null}})", Is::token},
      {R"({"type":"response_item","payload":{"type":"message"}})", Is::other},
      {R"({"payload":{"type":"token_count"}})", Is::refused},
      {"{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"},\"x\":\"\xff\"}",
       Is::refused},
      {R"({"type":"token_usage_record","payload":{"usage":5}})", Is::refused},
  };
  TokenLogLineDecoder decoder;
  for (const auto& c : cases) {
    const auto line = decoder.decode(c.line);
    const Is is = line ? (line->isTokenEvent() ? Is::token : Is::other) : Is::refused;
    EXPECT_EQ(c.expected, is) << c.line;
    if (c.last && line && line->payload && line->payload->info) {
      EXPECT_EQ(c.last, line->payload->info->lastTokenUsage) << c.line;
    }
  }
}

}  // namespace
}  // namespace nubrel
