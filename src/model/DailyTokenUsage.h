// DailyTokenUsage: one calendar day's totals, as the usage service returns them.
#pragma once

#include <string>

#include "model/Instant.h"
#include "model/TokenTotals.h"

namespace nubrel {

struct DailyTokenUsage {
  std::string id;           // "yyyy-MM-dd"
  Instant date;             // the first instant of the day
  std::string displayDate;  // the same text as id
  TokenTotals totals;
};

}  // namespace nubrel
