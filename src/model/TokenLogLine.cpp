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
    if (!requiredString(payloadObject, "type", payload.type)) {
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
  }
  return decoded;
}

namespace {

// A forward-only reader over the start of a line, for lookAtLineStart.
class LineStart {
 public:
  enum class Step { ok, stop };  // stop: the answer is in `verdict`

  LineStart(std::string_view head, bool complete) : head_(head), complete_(complete) {}

  LineOutlook verdict = LineOutlook::mayBeToken;

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
  bool atEnd() const { return pos_ >= head_.size(); }

  Step outOfBytes() {
    return settle(complete_ ? LineOutlook::mayBeToken : LineOutlook::needMoreBytes);
  }
  Step giveUp() { return settle(LineOutlook::mayBeToken); }

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
  bool typeSeen = false;
  for (;;) {
    std::string_view key;
    std::string_view value;
    if (in.plainString(key) == Step::stop || in.expect(':') == Step::stop) {
      return in.verdict;
    }
    if (key == "payload") {
      // Only the payload's first member is looked at; its type settles the line or not.
      if (in.expect('{') == Step::stop || in.plainString(key) == Step::stop) {
        return in.verdict;
      }
      if (key != "type" || in.expect(':') == Step::stop || in.plainString(value) == Step::stop) {
        return in.verdict;
      }
      return value == "token_count" ? LineOutlook::mayBeToken : LineOutlook::notTokenEvent;
    }
    if (in.plainString(value) == Step::stop) {
      return in.verdict;
    }
    if (key == "type" && !typeSeen) {
      if (value != "event_msg") {
        return LineOutlook::notTokenEvent;
      }
      typeSeen = true;
    }
    if (in.peek('}')) {
      return LineOutlook::mayBeToken;
    }
    if (in.expect(',') == Step::stop) {
      return in.verdict;
    }
  }
}

}  // namespace nubrel
