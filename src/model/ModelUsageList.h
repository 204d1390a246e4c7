// Lists of ModelUsage, one entry per (model, longContext), ordered by model and then base before
// long context, as DailyTokenUsage::models keeps them.
#pragma once

#include <string_view>
#include <vector>

#include "model/DailyTokenUsage.h"

namespace nubrel {

// `models`, or when it is empty (a source that knows no models) all of `totals` on the unknown
// model "". Nothing for zero totals.
std::vector<ModelUsage> modelsOrUnknown(const TokenTotals& totals,
                                        const std::vector<ModelUsage>& models);

// The entry of (model, longContext), or null.
const ModelUsage* findModel(const std::vector<ModelUsage>& models, std::string_view model,
                            bool longContext);

// Adds `usage` to its entry, making the entry in order when there is none; zero adds nothing.
void addModelUsage(std::vector<ModelUsage>& models, const ModelUsage& usage);

}  // namespace nubrel
