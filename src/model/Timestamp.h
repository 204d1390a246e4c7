// Strict parser of the agent's event timestamps (ISO 8601 internet date-time with a fraction).
#pragma once

#include <optional>
#include <string_view>

#include "model/Instant.h"

namespace nubrel {

// Parses "2025-01-31T23:59:58.123Z" or "...58.123+05:30": a full date, "T", a time with seconds,
// a fraction of one or more digits, and "Z" or an offset with a colon. Anything else, a text
// without the fraction included, gives nullopt. Digits past the sixth of the fraction are dropped.
std::optional<Instant> parseTimestamp(std::string_view text);

}  // namespace nubrel
