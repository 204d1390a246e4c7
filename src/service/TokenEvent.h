// The token-event rules both log readers share: the signature that recognises a repeated event,
// and how an event's increment follows from its own usage or from the session's running totals.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/Instant.h"
#include "model/RateLimits.h"
#include "model/TokenLogLine.h"
#include "model/TokenTotals.h"

namespace nubrel {

// The identity of one token event: its timestamp text (not parsed) and its running totals, or
// its own usage when it has no running totals.
struct EventSignature {
  std::string timestamp;
  std::optional<TokenTotals> totals;
  friend bool operator==(const EventSignature&, const EventSignature&) = default;
};

struct EventSignatureHash {
  std::size_t operator()(const EventSignature& signature) const;
};

// A token event whose timestamp parsed.
struct TokenEvent {
  Instant instant;
  EventSignature signature;
  std::optional<TokenTotals> total;  // info.total_token_usage
  std::optional<TokenTotals> last;   // info.last_token_usage
  std::optional<RateLimits> rateLimits;

  // Moves the file's running-totals base forward and returns the raw increment this event adds:
  // its own usage when logged, else the growth of the running totals since the base. nullopt when
  // it adds nothing: running totals seen first, neither usage present, or running totals that
  // repeat the base. The last case is the agent (0.58 and later) logging the previous usage again
  // before each model request under a new timestamp; counting it would count those tokens twice.
  std::optional<TokenTotals> advance(std::optional<TokenTotals>& previousTotals) const;
};

}  // namespace nubrel
