// TokenLogLine: one decoded line of a session log, its decoder, and a cheap look at a line's
// start that tells most lines apart from token events without decoding them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/TokenTotals.h"

namespace nubrel {

struct TokenLogLine {
  struct Info {
    std::optional<TokenTotals> totalTokenUsage;  // the session's running totals
    std::optional<TokenTotals> lastTokenUsage;   // this event alone
  };
  struct Payload {
    std::string type;
    std::optional<Info> info;
  };

  std::string type;
  std::optional<std::string> timestamp;  // not parsed here
  std::optional<Payload> payload;

  // "event_msg" with a payload of type "token_count"; compared exactly.
  bool isTokenEvent() const;
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
  notTokenEvent,  // it cannot decode as a token event, however it goes on
  mayBeToken,     // it has to be decoded
  needMoreBytes,  // the bytes seen so far do not settle it
};

// Reads the leading members of the object as the agent writes them ({"timestamp":"…","type":…,
// "payload":{"type":…). The first top-level "type" that is not "event_msg", or the first payload
// "type" that is not "token_count", settles that the line is no token event; this agrees with the
// decoder because the decoder, too, takes the first of repeated keys. Any other shape (white
// space, escapes, other values) answers mayBeToken, so the decoder has the last word.
// `complete` says whether `head` is the whole line.
LineOutlook lookAtLineStart(std::string_view head, bool complete);

}  // namespace nubrel
