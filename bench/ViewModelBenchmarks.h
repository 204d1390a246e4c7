// The view model's refreshes over a generated month: the first one after start-up and the
// steady-state ones of the timer.
#pragma once

#include "bench/BenchTree.h"
#include "bench/UsageBenchmarks.h"

namespace nubrel::bench {

inline constexpr const char* kFirstRefresh = "first_refresh";
inline constexpr const char* kFirstRefreshPriced = "first_refresh_priced";
inline constexpr const char* kSteadyRefresh = "steady_refresh";
inline constexpr const char* kSteadyRefreshDayWithoutData = "steady_refresh_day_without_data";

// Each benchmark checks the published figures against the generator's sums.
void registerViewModelBenchmarks(const BenchTree& big);
void printViewModelFigures(const Timings& timings, const BenchTree& big);

}  // namespace nubrel::bench
