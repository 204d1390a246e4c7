// Decoding of session log lines with simdjson's DOM parser.
#include "model/TokenLogLine.h"

#include <simdjson.h>

namespace nubrel {
namespace {

namespace dom = simdjson::dom;

enum class Lookup { absent, present };  // absent includes a null value

// simdjson's DOM lookup returns the first member of a repeated key, so the first one wins, here
// and in lookAtLineStart.
Lookup member(dom::object object, std::string_view key, dom::element& out) {
  if (object[key].get(out) != simdjson::SUCCESS) {
    return Lookup::absent;
  }
  return out.is_null() ? Lookup::absent : Lookup::present;
}

// An integer member: absent or null is 0; anything but an exact signed 64-bit integer fails.
bool integerMember(dom::object object, std::string_view key, std::int64_t& out) {
  dom::element value;
  if (member(object, key, value) == Lookup::absent) {
    out = 0;
    return true;
  }
  // get_int64 refuses doubles (12.0, 1e3), strings, and numbers out of range.
  return value.get_int64().get(out) == simdjson::SUCCESS;
}

std::optional<TokenTotals> decodeTotals(dom::element element) {
  dom::object object;
  if (element.get_object().get(object) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  TokenTotals totals;
  if (!integerMember(object, "input_tokens", totals.inputTokens) ||
      !integerMember(object, "output_tokens", totals.outputTokens) ||
      !integerMember(object, "reasoning_output_tokens", totals.reasoningOutputTokens) ||
      !integerMember(object, "total_tokens", totals.totalTokens)) {
    return std::nullopt;
  }
  dom::element cached;
  if (member(object, "cached_input_tokens", cached) == Lookup::present) {
    if (cached.get_int64().get(totals.cachedInputTokens) != simdjson::SUCCESS) {
      return std::nullopt;
    }
  } else if (member(object, "cache_read_input_tokens", cached) == Lookup::present) {
    // The older key never fails a line: a value of another type counts as absent.
    if (cached.get_int64().get(totals.cachedInputTokens) != simdjson::SUCCESS) {
      totals.cachedInputTokens = 0;
    }
  }
  // A newer key than the rest: like the older alias above, a damaged value counts as absent
  // rather than losing the line's other counters.
  dom::element writes;
  if (member(object, "cache_write_input_tokens", writes) == Lookup::present &&
      writes.get_int64().get(totals.cacheWriteInputTokens) != simdjson::SUCCESS) {
    totals.cacheWriteInputTokens = 0;
  }
  return totals;
}

// An optional token object member: absent or null is fine, another type fails the line.
bool optionalTotals(dom::object object, std::string_view key, std::optional<TokenTotals>& out) {
  dom::element value;
  if (member(object, key, value) == Lookup::absent) {
    return true;
  }
  out = decodeTotals(value);
  return out.has_value();
}

// A string member that is simply absent when it is anything else.
std::optional<std::string> optionalString(dom::object object, std::string_view key) {
  dom::element value;
  std::string_view text;
  if (member(object, key, value) != Lookup::present ||
      value.get_string().get(text) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return std::string(text);
}

// One window of the current shape: {"used_percent":63.0,"window_minutes":300,"resets_at":…}.
// false when a value is not a number; a window without its share or length stays absent.
bool decodeWindow(dom::element element, std::optional<RateLimitWindow>& out) {
  if (element.is_null()) {
    return true;
  }
  dom::object object;
  if (element.get_object().get(object) != simdjson::SUCCESS) {
    return false;
  }
  RateLimitWindow window;
  dom::element percent;
  dom::element minutes;
  dom::element resets;
  const bool hasPercent = member(object, "used_percent", percent) == Lookup::present;
  const bool hasMinutes = member(object, "window_minutes", minutes) == Lookup::present;
  if ((hasPercent && !percent.is_number()) || (hasMinutes && !minutes.is_number())) {
    return false;
  }
  if (!hasPercent || !hasMinutes) {
    return true;
  }
  if (percent.get_double().get(window.usedPercent) != simdjson::SUCCESS ||
      minutes.get_int64().get(window.windowMinutes) != simdjson::SUCCESS) {
    return false;
  }
  if (member(object, "resets_at", resets) == Lookup::present) {
    std::int64_t seconds = 0;
    if (resets.get_int64().get(seconds) != simdjson::SUCCESS) {
      return false;
    }
    // Seconds since the epoch; anything beyond the years a timestamp can hold is damage.
    if (seconds < -62'135'596'800 || seconds > 253'402'300'799) {
      return false;
    }
    window.resetsAt = Instant(std::chrono::seconds(seconds));
  }
  out = window;
  return true;
}

// Agent 0.40's flat shape: "primary_used_percent", "primary_window_minutes", no reset time.
bool decodeFlatWindow(dom::object object, std::string_view prefix,
                      std::optional<RateLimitWindow>& out) {
  const std::string percentKey = std::string(prefix) + "_used_percent";
  const std::string minutesKey = std::string(prefix) + "_window_minutes";
  dom::element percent;
  dom::element minutes;
  if (member(object, percentKey, percent) == Lookup::absent ||
      member(object, minutesKey, minutes) == Lookup::absent) {
    return true;
  }
  RateLimitWindow window;
  if (percent.get_double().get(window.usedPercent) != simdjson::SUCCESS ||
      minutes.get_int64().get(window.windowMinutes) != simdjson::SUCCESS) {
    return false;
  }
  out = window;
  return true;
}

// The limits fail alone: a damaged value loses them, never the line's token counts.
std::optional<RateLimits> decodeRateLimits(dom::object payload) {
  dom::element value;
  dom::object object;
  if (member(payload, "rate_limits", value) == Lookup::absent ||
      value.get_object().get(object) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  RateLimits limits;
  dom::element window;
  for (const auto& [key, slot] :
       {std::pair{"primary", &limits.primary}, std::pair{"secondary", &limits.secondary}}) {
    if (object[key].get(window) == simdjson::SUCCESS) {
      if (!decodeWindow(window, *slot)) {
        return std::nullopt;
      }
    } else if (!decodeFlatWindow(object, key, *slot)) {
      return std::nullopt;
    }
  }
  if (!limits.primary && !limits.secondary) {
    return std::nullopt;
  }
  return limits;
}

// The members a payload carries beside type and info, by the kind of line. false fails the line.
bool decodeKindMembers(const std::string& lineType, dom::object payloadObject,
                       TokenLogLine::Payload& payload) {
  if (lineType == "event_msg" && payload.type == "token_count") {
    payload.rateLimits = decodeRateLimits(payloadObject);
  } else if (lineType == "turn_context") {
    payload.model = optionalString(payloadObject, "model");
  } else if (lineType == "token_usage_record") {
    payload.responseId = optionalString(payloadObject, "response_id");
    return optionalTotals(payloadObject, "usage", payload.usage);
  } else if (lineType == "session_meta") {
    payload.sessionId = optionalString(payloadObject, "id");
    payload.parentSessionId = optionalString(payloadObject, "forked_from_id");
    dom::element spawn;
    if (!payload.parentSessionId &&
        payloadObject.at_pointer("/source/subagent/thread_spawn").get(spawn) == simdjson::SUCCESS &&
        spawn.is_object()) {
      payload.parentSessionId = optionalString(spawn.get_object().value(), "parent_thread_id");
    }
  }
  return true;
}

bool requiredString(dom::object object, std::string_view key, std::string& out) {
  dom::element value;
  std::string_view text;
  if (member(object, key, value) != Lookup::present ||
      value.get_string().get(text) != simdjson::SUCCESS) {
    return false;
  }
  out.assign(text);
  return true;
}

}  // namespace

bool TokenLogLine::isTokenEvent() const {
  return type == "event_msg" && payload && payload->type == "token_count";
}

bool TokenLogLine::isUsageRecord() const {
  return type == "token_usage_record" && payload && payload->responseId && payload->usage;
}

struct TokenLogLineDecoder::Impl {
  dom::parser parser;
};

TokenLogLineDecoder::TokenLogLineDecoder() : impl_(std::make_unique<Impl>()) {}
TokenLogLineDecoder::~TokenLogLineDecoder() = default;

std::optional<TokenLogLine> TokenLogLineDecoder::decode(std::string_view line) {
  dom::element root;
  // The parser copies the line into its own padded buffer (realloc_if_needed), validating UTF-8
  // and refusing anything after the one JSON value.
  if (impl_->parser.parse(line.data(), line.size(), true).get(root) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) {
    return std::nullopt;
  }

  TokenLogLine decoded;
  if (!requiredString(object, "type", decoded.type)) {
    return std::nullopt;
  }
  dom::element value;
  if (member(object, "timestamp", value) == Lookup::present) {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) {
      return std::nullopt;
    }
    decoded.timestamp.emplace(text);
  }
  if (member(object, "payload", value) == Lookup::present) {
    dom::object payloadObject;
    if (value.get_object().get(payloadObject) != simdjson::SUCCESS) {
      return std::nullopt;
    }
    TokenLogLine::Payload& payload = decoded.payload.emplace();
    // Agents write "type" only in event payloads; other kinds are known by the line's type.
    if (decoded.type == "event_msg" ? !requiredString(payloadObject, "type", payload.type)
                                    : member(payloadObject, "type", value) == Lookup::present &&
                                          !requiredString(payloadObject, "type", payload.type)) {
      return std::nullopt;
    }
    if (member(payloadObject, "info", value) == Lookup::present) {
      dom::object infoObject;
      if (value.get_object().get(infoObject) != simdjson::SUCCESS) {
        return std::nullopt;
      }
      TokenLogLine::Info& info = payload.info.emplace();
      if (!optionalTotals(infoObject, "total_token_usage", info.totalTokenUsage) ||
          !optionalTotals(infoObject, "last_token_usage", info.lastTokenUsage)) {
        return std::nullopt;
      }
    }
    if (!decodeKindMembers(decoded.type, payloadObject, payload)) {
      return std::nullopt;
    }
  }
  return decoded;
}

namespace {

// A forward-only reader over the start of a line, for lookAtLineStart.
class LineStart {
 public:
  enum class Step { ok, stop };  // stop: the answer is in `verdict`

  LineStart(std::string_view head, bool complete) : head_(head), complete_(complete) {}

  LineOutlook verdict = LineOutlook::mayMatter;

  Step expect(char c) {
    if (pos_ >= head_.size()) {
      return outOfBytes();
    }
    if (head_[pos_] != c) {
      return giveUp();
    }
    ++pos_;
    return Step::ok;
  }

  // A string without escapes; anything fancier is left to the decoder.
  Step plainString(std::string_view& out) {
    if (expect('"') == Step::stop) {
      return Step::stop;
    }
    const std::size_t start = pos_;
    while (pos_ < head_.size() && head_[pos_] != '"') {
      if (head_[pos_] == '\\') {
        return giveUp();
      }
      ++pos_;
    }
    if (pos_ >= head_.size()) {
      return outOfBytes();
    }
    out = head_.substr(start, pos_ - start);
    ++pos_;
    return Step::ok;
  }

  Step settle(LineOutlook outlook) {
    verdict = outlook;
    return Step::stop;
  }

  bool peek(char c) const { return pos_ < head_.size() && head_[pos_] == c; }
  bool peekNumber() const {
    return pos_ < head_.size() &&
           (head_[pos_] == '-' || (head_[pos_] >= '0' && head_[pos_] <= '9'));
  }
  // Steps over the characters a JSON number may hold; the decoder judges the number itself.
  void skipNumber() {
    while (pos_ < head_.size() &&
           std::string_view("0123456789+-.eE").find(head_[pos_]) != std::string_view::npos) {
      ++pos_;
    }
  }
  bool atEnd() const { return pos_ >= head_.size(); }

  Step outOfBytes() {
    return settle(complete_ ? LineOutlook::mayMatter : LineOutlook::needMoreBytes);
  }
  Step giveUp() { return settle(LineOutlook::mayMatter); }

 private:
  std::string_view head_;
  bool complete_;
  std::size_t pos_ = 0;
};

}  // namespace

LineOutlook lookAtLineStart(std::string_view head, bool complete) {
  using Step = LineStart::Step;
  LineStart in(head, complete);
  if (in.expect('{') == Step::stop) {
    return in.verdict;
  }
  std::optional<std::string_view> lineType;
  for (;;) {
    std::string_view key;
    std::string_view value;
    if (in.plainString(key) == Step::stop || in.expect(':') == Step::stop) {
      return in.verdict;
    }
    if (key == "payload") {
      if (lineType != "event_msg") {
        return LineOutlook::mayMatter;
      }
      // Only the payload's first member is looked at; its type settles the line or not.
      if (in.expect('{') == Step::stop || in.plainString(key) == Step::stop) {
        return in.verdict;
      }
      if (key != "type" || in.expect(':') == Step::stop || in.plainString(value) == Step::stop) {
        return in.verdict;
      }
      return value == "token_count" ? LineOutlook::mayMatter : LineOutlook::ignored;
    }
    // Agent 0.169 writes an "ordinal" number before the type.
    if (in.peekNumber()) {
      in.skipNumber();
    } else if (in.plainString(value) == Step::stop) {
      return in.verdict;
    } else if (key == "type" && !lineType) {
      if (value != "event_msg" && value != "turn_context" && value != "session_meta" &&
          value != "token_usage_record") {
        return LineOutlook::ignored;
      }
      lineType = value;
    }
    if (in.peek('}')) {
      return LineOutlook::mayMatter;
    }
    if (in.expect(',') == Step::stop) {
      return in.verdict;
    }
  }
}

}  // namespace nubrel
