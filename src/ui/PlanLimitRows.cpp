// PlanLimitRows: window names, percentages and the row texts.
#include "ui/PlanLimitRows.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace nubrel {

std::string limitWindowName(std::int64_t windowMinutes) {
  constexpr std::int64_t kHour = 60;
  constexpr std::int64_t kDay = 24 * kHour;
  // The agent has written one minute short of the plan's windows (0.40: 299 and 10079).
  if (windowMinutes == 299 || windowMinutes == 300) {
    return "5-hour";
  }
  if (windowMinutes == 7 * kDay - 1 || windowMinutes == 7 * kDay) {
    return "Weekly";
  }
  // Rounded without adding first, so that the largest lengths cannot overflow.
  const auto rounded = [](std::int64_t minutes, std::int64_t unit) {
    return std::max<std::int64_t>(1, minutes / unit + (minutes % unit >= unit / 2 ? 1 : 0));
  };
  if (windowMinutes >= kDay) {
    return std::to_string(rounded(windowMinutes, kDay)) + "-day";
  }
  return std::to_string(rounded(std::max<std::int64_t>(windowMinutes, 0), kHour)) + "-hour";
}

int shownPercent(double usedPercent) {
  if (!(usedPercent > 0)) {  // also NaN
    return 0;
  }
  return usedPercent >= 100 ? 100 : static_cast<int>(std::lround(usedPercent));
}

std::vector<PlanLimitRow> planLimitRows(const TokenUsageViewModel& viewModel) {
  const auto& snapshot = viewModel.rateLimits();
  const auto& now = viewModel.lastUpdated();
  if (!snapshot || !now || snapshot->observedAt < *now - kPlanLimitsShownFor) {
    return {};
  }
  std::vector<PlanLimitRow> rows;
  for (const auto& [id, window] : {std::pair{"primary", &snapshot->limits.primary},
                                   std::pair{"secondary", &snapshot->limits.secondary}}) {
    if (!*window) {
      continue;
    }
    PlanLimitRow row{.id = id,
                     .name = limitWindowName((*window)->windowMinutes),
                     .window = **window,
                     .title = {}};
    const std::string used = std::to_string(shownPercent(row.window.usedPercent)) + "% used";
    if (!row.window.resetsAt) {
      row.title = row.name + ": " + used + " (as of " +
                  viewModel.timeLabel(snapshot->observedAt, *now) + ")";
    } else if (*row.window.resetsAt <= *now) {
      row.title = row.name + ": reset at " + viewModel.timeLabel(*row.window.resetsAt, *now);
    } else {
      row.title = row.name + ": " + used + " \u2022 resets " +
                  viewModel.timeLabel(*row.window.resetsAt, *now);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace nubrel
