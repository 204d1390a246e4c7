// TokenLogLine: one decoded line of a session log, its decoder, and a cheap look at a line's
// start that tells most lines apart from the few kinds the readers use without decoding them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/RateLimits.h"
#include "model/TokenTotals.h"

namespace nubrel {

struct TokenLogLine {
  struct Info {
    std::optional<TokenTotals> totalTokenUsage;  // the session's running totals
    std::optional<TokenTotals> lastTokenUsage;   // this event alone
  };
  // Members beyond type and info are decoded only for the kind of line that carries them.
  struct Payload {
    std::string type;
    std::optional<Info> info;
    std::optional<RateLimits> rateLimits;   // token_count; absent when they do not decode
    std::optional<std::string> model;       // turn_context: the model of the turn's requests
    std::optional<std::string> responseId;  // token_usage_record
    std::optional<TokenTotals> usage;       // token_usage_record: that response's usage
    std::optional<std::string> sessionId;   // session_meta
    // session_meta of a fork or a sub-agent: the session whose history it may have copied
    std::optional<std::string> parentSessionId;
  };

  std::string type;
  std::optional<std::string> timestamp;  // not parsed here
  std::optional<Payload> payload;

  // "event_msg" with a payload of type "token_count"; compared exactly.
  bool isTokenEvent() const;
  // "token_usage_record" with a response id and its usage: one model response's own usage.
  bool isUsageRecord() const;
  bool isTurnContext() const { return type == "turn_context" && payload.has_value(); }
  bool isSessionMeta() const { return type == "session_meta" && payload.has_value(); }
};

// Decodes one line (UTF-8, without its LF). All or nothing: any deviation from the key table of
// the log format (a required key missing, a value of another type, a number that is not an exact
// signed 64-bit integer, invalid UTF-8, trailing values) makes the whole line fail.
// Keeps a parser with its buffers between calls, so it is not cheap to copy; one per reader.
class TokenLogLineDecoder {
 public:
  TokenLogLineDecoder();
  ~TokenLogLineDecoder();
  TokenLogLineDecoder(const TokenLogLineDecoder&) = delete;
  TokenLogLineDecoder& operator=(const TokenLogLineDecoder&) = delete;

  std::optional<TokenLogLine> decode(std::string_view line);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What the start of a line tells about it, before it is decoded.
enum class LineOutlook {
  ignored,        // it cannot decode as a line the readers use, however it goes on
  mayMatter,      // it has to be decoded
  needMoreBytes,  // the bytes seen so far do not settle it
};

// Reads the leading members of the object as the agent writes them ({"timestamp":"…","type":…,
// "payload":{"type":…). A first top-level "type" other than "event_msg", "turn_context",
// "session_meta" and "token_usage_record", or an "event_msg" whose first payload "type" is not
// "token_count", settles that the readers have no use for the line; this agrees with the decoder
// because the decoder, too, takes the first of repeated keys. Any other shape (white space,
// escapes, other values) answers mayMatter, so the decoder has the last word.
// `complete` says whether `head` is the whole line.
LineOutlook lookAtLineStart(std::string_view head, bool complete);

}  // namespace nubrel
