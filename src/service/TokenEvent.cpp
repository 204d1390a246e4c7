// Shared token-event rules.
#include "service/TokenEvent.h"

#include <functional>

namespace nubrel {

std::size_t EventSignatureHash::operator()(const EventSignature& signature) const {
  std::size_t seed = std::hash<std::string>{}(signature.timestamp);
  const std::size_t tail = signature.totals ? hashValue(*signature.totals) * 31 + 1 : 0;
  return seed ^ (tail + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
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
