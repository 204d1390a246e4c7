// The text of generated session logs: pools of filler text, and one builder per kind of line the
// agent writes (session_meta, response_item, event_msg, turn_context), shaped like real ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bench/Random.h"
#include "model/TokenTotals.h"

namespace nubrel::bench {

// "2026-11-03T09:15:02.123Z": UTC with milliseconds, as the agent writes its timestamps.
std::string timestampText(std::int64_t unixMillis);

// A version 7 UUID for the instant, as the agent names its sessions.
std::string sessionUuid(std::int64_t unixMillis, Random& random);

// Filler made once per generator and sliced at random: base64 for encrypted reasoning, and
// prose with escapes and multi-byte characters at the two nesting depths the logs have.
class TextPools {
 public:
  explicit TextPools(Random& random);

  // About `length` bytes, cut only between whole words, so that no escape sequence or UTF-8
  // character is split; always valid inside a JSON string.
  std::string_view prose(Random& random, std::size_t length) const;
  // The same prose escaped once more, for text inside a JSON string that is itself JSON.
  std::string_view nestedProse(Random& random, std::size_t length) const;
  std::string_view base64(Random& random, std::size_t length) const;

 private:
  std::string prose_;
  std::string nestedProse_;
  std::string base64_;
};

// Rate-limit figures as the agent reports them with each token event.
struct RateLimits {
  double primaryPercent = 0;
  double secondaryPercent = 0;
  std::int64_t primaryResetsAt = 0;
  std::int64_t secondaryResetsAt = 0;
};

// Everything a line needs to know about its session.
struct SessionContext {
  std::string uuid;
  std::string cwd;
  std::string cliVersion;  // "0.58.0" style logs repeat usage; "0.40.0" style ones do not
  bool newRateLimitShape = true;
  std::string model = "gpt-5.1-codex";  // written in each turn_context
};

// Each builder appends one line with its LF to `out`.
void appendSessionMeta(std::string& out, std::int64_t ms, const SessionContext& session,
                       Random& random);
void appendTurnContext(std::string& out, std::int64_t ms, const SessionContext& session);
void appendUserMessage(std::string& out, std::int64_t ms, std::string_view text);
void appendAgentReasoning(std::string& out, std::int64_t ms, std::string_view title);
void appendAgentMessage(std::string& out, std::int64_t ms, std::string_view text);
void appendReasoning(std::string& out, std::int64_t ms, std::string_view title,
                     std::string_view encrypted);
void appendFunctionCall(std::string& out, std::int64_t ms, const SessionContext& session,
                        std::string_view command, std::string_view callId);
void appendFunctionCallOutput(std::string& out, std::int64_t ms, std::string_view callId,
                              std::string_view nestedOutput, int exitCode);
// A token event; without usage it is the agent's `"info": null` event that opens a session.
void appendTokenCount(std::string& out, std::int64_t ms, const SessionContext& session,
                      const std::optional<TokenTotals>& total,
                      const std::optional<TokenTotals>& last, const RateLimits& limits);

}  // namespace nubrel::bench
