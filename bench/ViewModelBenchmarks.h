// The view model's refreshes over a generated month: the first one after start-up and the
// steady-state ones of the timer.
#pragma once

#include "bench/BenchTree.h"
#include "bench/UsageBenchmarks.h"

namespace nubrel::bench {

inline constexpr const char* kFirstRefresh = "first_refresh";
inline constexpr const char* kFirstRefreshWithoutCopies = "first_refresh_without_copy_matching";
inline constexpr const char* kSteadyRefreshDaysWithoutData = "steady_refresh_days_without_data";
inline constexpr const char* kFirstRefreshPriced = "first_refresh_priced";

// Each benchmark checks the published figures against the generator's sums.
void registerViewModelBenchmarks(const BenchTree& big);
void printViewModelFigures(const Timings& timings, const BenchTree& big);

}  // namespace nubrel::bench
