// PlanLimitRows: the plan's usage limits in words, as the menu, the terminal report and the
// notices show them: "5-hour: 63% used • resets 15:38".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "model/RateLimits.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

struct PlanLimitRow {
  std::string id;    // "primary" or "secondary", the window's member in the logs
  std::string name;  // limitWindowName of its length
  RateLimitWindow window;
  std::string title;  // the row as the menu shows it
};

// Limits older than this are not shown: the windows have rolled over since.
constexpr std::chrono::hours kPlanLimitsShownFor{7 * 24};

// "5-hour" for 299 or 300 minutes, "Weekly" for 10079 or 10080; otherwise "N-hour" below a day
// and "N-day" from a day on, N rounded to the nearest whole and at least 1.
std::string limitWindowName(std::int64_t windowMinutes);

// The share used as a whole percent within 0-100, the way every row and notice shows it.
int shownPercent(double usedPercent);

// The windows of the view model's limits as of its last refresh, primary first: "5-hour: 63%
// used • resets 15:38", "5-hour: reset at 15:38" once that time has passed (what was used since
// is unknown until the agent writes again), or "5-hour: 35% used (as of 14:02)" where the agent
// wrote no reset time. None before a refresh, without limits, or with limits from more than
// kPlanLimitsShownFor before it.
std::vector<PlanLimitRow> planLimitRows(const TokenUsageViewModel& viewModel);

}  // namespace nubrel
