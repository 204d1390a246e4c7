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

class TokenLogLineTest : public ::testing::Test {
 protected:
  std::optional<TokenLogLine::Payload> payload(const std::string& line) {
    auto decoded = decoder_.decode(line);
    return decoded && decoded->payload ? std::optional(*decoded->payload) : std::nullopt;
  }
  TokenLogLineDecoder decoder_;
};

// The decoder's key table: whole lines, and the token objects inside a token event.
TEST_F(TokenLogLineTest, KeyTable) {
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
      {"{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"}}\r", Is::token},
      {R"({"type":"response_item","payload":{"type":"message"}})", Is::other},
      {R"({"payload":{"type":"token_count"}})", Is::refused},
      {R"({"type":"event_msg")", Is::refused},
      {"{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"},\"x\":\"\xff\"}",
       Is::refused},
      {R"({"type":"token_usage_record","payload":{"usage":5}})", Is::refused},
  };
  for (const auto& c : cases) {
    const auto line = decoder_.decode(c.line);
    EXPECT_EQ(c.expected, !line                  ? Is::refused
                          : line->isTokenEvent() ? Is::token
                                                 : Is::other)
        << c.line;
    if (c.last && line && line->payload && line->payload->info) {
      EXPECT_EQ(c.last, line->payload->info->lastTokenUsage) << c.line;
    }
  }
}

// Plan limits in the agents' two shapes; damaged limits are absent and the line still counts.
TEST_F(TokenLogLineTest, RateLimitsInBothShapesAndTheirDamage) {
  using W = RateLimitWindow;
  const Instant reset{std::chrono::seconds(1763422725)};
  const struct {
    const char* limits;
    std::optional<RateLimits> expected;
  } cases[] = {
      {R"({"primary":{"used_percent":63.0,"window_minutes":300,"resets_at":1763422725},)"
       R"("secondary":{"used_percent":43,"window_minutes":10080}})",
       RateLimits{W{63, 300, reset}, W{43, 10080, std::nullopt}}},
      {R"({"primary_used_percent":35.0,"secondary_used_percent":10.0,)"
       R"("primary_window_minutes":299,"secondary_window_minutes":10079})",
       RateLimits{W{35, 299, std::nullopt}, W{10, 10079, std::nullopt}}},
      {R"({"primary":{"used_percent":63.0}})", std::nullopt},
      {R"({"primary":{"used_percent":"63","window_minutes":300}})", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto decoded =
        payload(R"({"timestamp":"2025-11-17T21:38:46.709Z","type":"event_msg","payload":{"type":)"
                R"("token_count","info":{"last_token_usage":{"input_tokens":5}},"rate_limits":)" +
                std::string(c.limits) + "}}");
    ASSERT_TRUE(decoded && decoded->info) << c.limits;
    EXPECT_EQ((TokenTotals{.inputTokens = 5}), decoded->info->lastTokenUsage) << c.limits;
    EXPECT_EQ(c.expected, decoded->rateLimits) << c.limits;
  }
}

}  // namespace
}  // namespace nubrel
