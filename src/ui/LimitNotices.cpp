// LimitNotices: the window periods and the two notices in each.
#include "ui/LimitNotices.h"

#include <algorithm>
#include <chrono>

#include "ui/PlanLimitRows.h"

namespace nubrel {
namespace {

// Without a reset time a period is taken to last one window length from the first reading of
// it; no plan window is longer than this, and it keeps the end representable.
constexpr std::int64_t kLongestWindowMinutes = 366 * 24 * 60;

}  // namespace

void LimitNotices::check(const TokenUsageViewModel& viewModel) {
  const std::int64_t threshold = std::min<std::int64_t>(
      preferences_.getInteger(kThresholdKey).value_or(kDefaultThreshold), 100);
  const auto& snapshot = viewModel.rateLimits();
  const auto& now = viewModel.lastUpdated();
  if (threshold <= 0 || !snapshot || !now) {
    return;
  }
  const std::vector<PlanLimitRow> rows = planLimitRows(viewModel);
  for (const PlanLimitRow& row : rows) {
    const RateLimitWindow& window = row.window;
    const std::int64_t minutes =
        std::clamp<std::int64_t>(window.windowMinutes, 1, kLongestWindowMinutes);
    const Instant end =
        window.resetsAt.value_or(snapshot->observedAt + std::chrono::minutes(minutes));
    if (end <= *now) {
      continue;
    }
    std::optional<Period>& period = periods_[row.id == "primary" ? 0 : 1];
    // A reading taken once the remembered period had ended belongs to the next one; so does one
    // of a window whose length changed (another plan).
    if (!period || period->windowMinutes != window.windowMinutes ||
        snapshot->observedAt >= period->end) {
      period = Period{.windowMinutes = window.windowMinutes, .end = end};
    }
    const std::string when = window.resetsAt
                                 ? "Resets " + viewModel.timeLabel(*window.resetsAt, *now) + "."
                                 : "As of " + viewModel.timeLabel(snapshot->observedAt, *now) + ".";
    if (window.usedPercent >= 100 && !period->fullSent) {
      period->fullSent = period->thresholdSent = true;
      notifier_.notify(row.name + " limit reached", when);
    } else if (window.usedPercent >= static_cast<double>(threshold) && !period->thresholdSent) {
      period->thresholdSent = true;
      notifier_.notify(
          row.name + " limit: " + std::to_string(shownPercent(window.usedPercent)) + "% used",
          when);
    }
  }
}

}  // namespace nubrel
