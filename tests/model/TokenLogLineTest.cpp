#include "model/TokenLogLine.h"

#include <gtest/gtest.h>

#include <string>

namespace nubrel {
namespace {

// A token event whose last_token_usage object is `tokens`.
std::string eventWith(const std::string& tokens) {
  return R"({"timestamp":"2025-01-31T10:00:00.000Z","type":"event_msg","payload":{"type":"token_count","info":{"last_token_usage":)" +
         tokens + "}}}";
}

class TokenLogLineTest : public ::testing::Test {
 protected:
  // The decoded last_token_usage, or nullopt when the line fails or has none.
  std::optional<TokenTotals> lastUsage(const std::string& tokens) {
    const auto line = decoder_.decode(eventWith(tokens));
    if (!line || !line->payload || !line->payload->info) {
      return std::nullopt;
    }
    return line->payload->info->lastTokenUsage;
  }
  TokenLogLineDecoder decoder_;
};

TEST_F(TokenLogLineTest, DecodesTheAgentsTokenEvent) {
  const auto line = decoder_.decode(
      R"({"timestamp":"2025-09-25T01:22:25.361Z","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":2895,"cached_input_tokens":2560,"output_tokens":246,"reasoning_output_tokens":192,"total_tokens":3141},"last_token_usage":{"input_tokens":5,"total_tokens":5},"model_context_window":272000},"rate_limits":{"primary_used_percent":0.0}}})");
  ASSERT_TRUE(line);
  EXPECT_TRUE(line->isTokenEvent());
  EXPECT_EQ("2025-09-25T01:22:25.361Z", line->timestamp);
  EXPECT_EQ((TokenTotals{2895, 2560, 246, 192, 3141}), line->payload->info->totalTokenUsage);
  EXPECT_EQ((TokenTotals{.inputTokens = 5, .totalTokens = 5}), line->payload->info->lastTokenUsage);
}

TEST_F(TokenLogLineTest, TokenObjectKeyTable) {
  const struct {
    const char* tokens;
    std::optional<TokenTotals> expected;  // nullopt: the line fails
  } cases[] = {
      {"{}", TokenTotals{}},
      {R"({"input_tokens":null,"output_tokens":7})", TokenTotals{.outputTokens = 7}},
      {R"({"input_tokens":-3})", TokenTotals{.inputTokens = -3}},
      {R"({"input_tokens":1.5})", std::nullopt},
      {R"({"input_tokens":12.0})", std::nullopt},
      {R"({"input_tokens":1e3})", std::nullopt},
      {R"({"input_tokens":"12"})", std::nullopt},
      {R"({"input_tokens":true})", std::nullopt},
      {R"({"total_tokens":[1]})", std::nullopt},
      {R"({"total_tokens":9223372036854775807})", TokenTotals{.totalTokens = 9223372036854775807}},
      {R"({"total_tokens":9223372036854775808})", std::nullopt},
      {R"({"total_tokens":-9223372036854775809})", std::nullopt},
      {R"({"total_tokens":100000000000000000000000})", std::nullopt},
      {R"({"cache_read_input_tokens":40})", TokenTotals{.cachedInputTokens = 40}},
      {R"({"cached_input_tokens":null,"cache_read_input_tokens":40})",
       TokenTotals{.cachedInputTokens = 40}},
      {R"({"cache_read_input_tokens":40,"cached_input_tokens":10})",
       TokenTotals{.cachedInputTokens = 10}},
      {R"({"cache_read_input_tokens":"40"})", TokenTotals{}},
      {R"({"cached_input_tokens":"40"})", std::nullopt},
      {R"({"reasoning_output_tokens":4,"extra":{"nested":[1,2]}})",
       TokenTotals{.reasoningOutputTokens = 4}},
      {R"({"input_tokens":1,"input_tokens":2})", TokenTotals{.inputTokens = 1}},  // first wins
      {"5", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, lastUsage(c.tokens)) << c.tokens;
  }
}

TEST_F(TokenLogLineTest, LineKeyTable) {
  const struct {
    const char* line;
    bool decodes;
    bool tokenEvent;
  } cases[] = {
      {R"({"type":"event_msg","payload":{"type":"token_count","info":null}})", true, true},
      {R"({"type":"event_msg","payload":{"type":"token_count"}})", true, true},
      {R"({"type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":null}}})",
       true, true},
      {R"({"type":"event_msg","payload":{"type":"token_count","x":1},"y":[]})", true, true},
      {R"({"type":"event_msg","payload":{"type":"Token_Count"}})", true, false},
      {R"({"type":"response_item","payload":{"type":"message"}})", true, false},
      {R"({"type":"event_msg","payload":null})", true, false},
      {R"({"payload":{"type":"token_count"}})", false, false},
      {R"({"type":null,"payload":{"type":"token_count"}})", false, false},
      {R"({"type":"event_msg","payload":{"info":{}}})", false, false},
      {R"({"type":"event_msg","payload":[]})", false, false},
      {R"({"type":"event_msg","timestamp":5})", false, false},
      {R"({"type":"event_msg","payload":{"type":"token_count","info":3}})", false, false},
      {R"({"type":"event_msg","payload":{"type":"token_count","info":{"last_token_usage":3}}})",
       false, false},
      {R"({"type":"event_msg"} {"type":"event_msg"})", false, false},
      {R"([{"type":"event_msg"}])", false, false},
      {R"({"type":"event_msg")", false, false},
      {"{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"}}\r", true, true},
      {"{\"type\":\"event_msg\",\"payload\":{\"type\":\"token_count\"},\"x\":\"\xff\"}", false,
       false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    const auto decoded = decoder_.decode(c.line);
    EXPECT_EQ(c.decodes, decoded.has_value()) << c.line;
    EXPECT_EQ(c.tokenEvent, decoded && decoded->isTokenEvent()) << c.line;
  }
}

// The lines beside token events that the readers use, each decoded only for what it carries.
TEST_F(TokenLogLineTest, DecodesRecordsTurnsAndSessions) {
  const auto payload = [&](const std::string& line) {
    auto decoded = decoder_.decode(line);
    return decoded && decoded->payload ? std::optional(*decoded->payload) : std::nullopt;
  };
  const auto record =
      payload(R"({"timestamp":"t","type":"token_usage_record","payload":{"response_id":"resp_1",)"
              R"("usage":{"input_tokens":9,"cached_input_tokens":4,"cache_write_input_tokens":2,)"
              R"("output_tokens":3,"total_tokens":12}}})");
  ASSERT_TRUE(record);
  EXPECT_EQ("resp_1", record->responseId);
  EXPECT_EQ((TokenTotals{9, 4, 3, 0, 12, 2}), record->usage);
  EXPECT_FALSE(decoder_.decode(R"({"type":"token_usage_record","payload":{"usage":5}})"));

  EXPECT_EQ("gpt-5.5", payload(R"({"type":"turn_context","payload":{"model":"gpt-5.5"}})")->model);
  EXPECT_EQ(std::nullopt, payload(R"({"type":"turn_context","payload":{"model":5}})")->model);

  const auto fork = payload(R"({"type":"session_meta","payload":{"id":"b","forked_from_id":"a"}})");
  EXPECT_EQ("a", fork->parentSessionId);
  const auto spawned =
      payload(R"({"type":"session_meta","payload":{"id":"c","source":{"subagent":{"thread_spawn":)"
              R"({"parent_thread_id":"a","depth":1}}}}})");
  EXPECT_EQ("a", spawned->parentSessionId);
}

TEST_F(TokenLogLineTest, RateLimitsInBothShapesAndTheirDamage) {
  using W = RateLimitWindow;
  const Instant reset{std::chrono::seconds(1763422725)};
  const struct {
    const char* limits;
    std::optional<RateLimits> expected;  // the line decodes either way
  } cases[] = {
      {R"({"primary":{"used_percent":63.0,"window_minutes":300,"resets_at":1763422725},"secondary":{"used_percent":43,"window_minutes":10080}})",
       RateLimits{W{63, 300, reset}, W{43, 10080, std::nullopt}}},
      {R"({"limit_id":null,"credits":null,"plan_type":"plus","primary":{"used_percent":1.5,"window_minutes":300,"resets_at":1763422725,"resets_in_seconds":9},"secondary":null})",
       RateLimits{W{1.5, 300, reset}, std::nullopt}},
      {R"({"primary_used_percent":35.0,"secondary_used_percent":10.0,"primary_window_minutes":299,"secondary_window_minutes":10079})",
       RateLimits{W{35, 299, std::nullopt}, W{10, 10079, std::nullopt}}},
      {R"({"primary_used_percent":35.0,"primary_window_minutes":299})",
       RateLimits{W{35, 299, std::nullopt}, std::nullopt}},
      {"null", std::nullopt},
      {"{}", std::nullopt},
      {R"({"primary":null,"secondary":null})", std::nullopt},
      {R"({"primary":{"used_percent":63.0}})", std::nullopt},
      {R"({"primary_used_percent":0.0})", std::nullopt},
      {R"({"primary":{"used_percent":"63","window_minutes":300}})", std::nullopt},
      {R"({"primary":{"used_percent":63,"window_minutes":300,"resets_at":"soon"}})", std::nullopt},
      {R"({"primary":{"used_percent":63,"window_minutes":300.5}})", std::nullopt},
      {R"({"primary":{"used_percent":63,"window_minutes":300,"resets_at":1e30}})", std::nullopt},
      {R"({"primary_used_percent":true,"primary_window_minutes":299})", std::nullopt},
      {R"({"primary":[63,300]})", std::nullopt},
      {"63", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto line = decoder_.decode(
        R"({"timestamp":"2025-11-17T21:38:46.709Z","type":"event_msg","payload":{"type":"token_count","info":{"last_token_usage":{"input_tokens":5}},"rate_limits":)" +
        std::string(c.limits) + "}}");
    ASSERT_TRUE(line && line->payload && line->payload->info) << c.limits;
    EXPECT_EQ((TokenTotals{.inputTokens = 5}), line->payload->info->lastTokenUsage) << c.limits;
    EXPECT_EQ(c.expected, line->payload->rateLimits) << c.limits;
  }
}

TEST(LookAtLineStartTest, SettlesOnlyWhatTheDecoderWouldRefuseAnyway) {
  const struct {
    const char* head;
    bool complete;
    LineOutlook expected;
  } cases[] = {
      {R"({"timestamp":"x","type":"response_item","payload":{"type":"message")", false,
       LineOutlook::ignored},
      {R"({"timestamp":"x","type":"event_msg","payload":{"type":"agent_message")", false,
       LineOutlook::ignored},
      {R"({"timestamp":"x","type":"event_msg","payload":{"type":"token_count")", false,
       LineOutlook::mayMatter},
      {R"({"payload":{"type":"token_count"},"type":"event_msg"})", true, LineOutlook::mayMatter},
      {R"({"timestamp":"x","type":"event_m)", false, LineOutlook::needMoreBytes},
      {R"({"timestamp":"x","type":"event_m)", true, LineOutlook::mayMatter},
      {R"({ "type":"response_item"})", true, LineOutlook::mayMatter},      // white space
      {R"({"typ\u0065":"response_item"})", true, LineOutlook::mayMatter},  // escaped key
      {R"({"type":"event\u005fmsg","payload":{"type":"x"}})", true, LineOutlook::mayMatter},
      {R"({"type":"event_msg","type":"other","payload":{"type":"message"}})", true,
       LineOutlook::ignored},
      {"", false, LineOutlook::needMoreBytes},
      {R"({"timestamp":"x","ordinal":12,"type":"token_usage_record","payload":{"response_id")",
       false, LineOutlook::mayMatter},
      {R"({"timestamp":"x","ordinal":-1.5e3,"type":"turn_context")", false, LineOutlook::mayMatter},
      {R"({"timestamp":"x","type":"session_meta","payload":{"type":"message")", false,
       LineOutlook::mayMatter},
      {R"({"timestamp":"x","ordinal":3,"type":"response_item")", false, LineOutlook::ignored},
      {R"({"timestamp":"x","ordinal":3)", false, LineOutlook::needMoreBytes},
      {"plain text that was never JSON", false, LineOutlook::ignored},
      {" \t{\"type\":\"event_msg\"", false, LineOutlook::mayMatter},
      {"  ", true, LineOutlook::ignored},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, lookAtLineStart(c.head, c.complete)) << c.head;
  }
}

TEST(LookAtLineStartTest, AgreesWithTheDecoderOnRepeatedAndEscapedKeys) {
  TokenLogLineDecoder decoder;
  for (const char* line : {
           R"({"type":"event_msg","type":"response_item","payload":{"type":"token_count"}})",
           R"({"type":"response_item","type":"event_msg","payload":{"type":"token_count"}})",
           R"({"type":"event_msg","payload":{"type":"token_count","type":"x"}})",
           R"({"type":"event_msg","payload":{"type":"x","type":"token_count"}})",
           R"({"type":"event\u005fmsg","payload":{"type":"token\u005fcount"}})",
       }) {
    const auto decoded = decoder.decode(line);
    const bool token = decoded && decoded->isTokenEvent();
    if (lookAtLineStart(line, true) == LineOutlook::ignored) {
      EXPECT_FALSE(token) << line;
    }
  }
}

}  // namespace
}  // namespace nubrel
