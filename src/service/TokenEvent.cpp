// Shared token-event rules.
#include "service/TokenEvent.h"

#include <functional>

#include "model/Timestamp.h"

namespace nubrel {

std::size_t EventSignatureHash::operator()(const EventSignature& signature) const {
  std::size_t seed = std::hash<std::string>{}(signature.timestamp);
  const std::size_t tail = signature.totals ? hashValue(*signature.totals) * 31 + 1 : 0;
  return seed ^ (tail + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::optional<TokenEvent> TokenEvent::decode(TokenLogLineDecoder& decoder, std::string_view line) {
  std::optional<TokenLogLine> decoded = decoder.decode(line);
  if (!decoded || !decoded->isTokenEvent() || !decoded->timestamp) {
    return std::nullopt;
  }
  const std::optional<Instant> instant = parseTimestamp(*decoded->timestamp);
  if (!instant) {
    return std::nullopt;
  }
  TokenEvent event{.instant = *instant,
                   .signature = {},
                   .total = {},
                   .last = {},
                   .rateLimits = decoded->payload->rateLimits};
  if (const auto& info = decoded->payload->info) {
    event.total = info->totalTokenUsage;
    event.last = info->lastTokenUsage;
  }
  event.signature.timestamp = std::move(*decoded->timestamp);
  event.signature.totals = event.total ? event.total : event.last;
  return event;
}

std::optional<TokenTotals> TokenEvent::advance(std::optional<TokenTotals>& previousTotals) const {
  const std::optional<TokenTotals> base = previousTotals;
  if (total) {
    previousTotals = total;
    if (base && *base == *total) {
      return std::nullopt;
    }
  }
  if (last) {
    return last;
  }
  if (total && base) {
    return total->delta(*base);
  }
  return std::nullopt;
}

}  // namespace nubrel
