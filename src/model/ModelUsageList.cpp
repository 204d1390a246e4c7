// ModelUsage lists.
#include "model/ModelUsageList.h"

#include <algorithm>
#include <tuple>

namespace nubrel {
namespace {

bool before(const ModelUsage& entry, std::string_view model, bool longContext) {
  return std::make_tuple(std::string_view(entry.model), entry.longContext) <
         std::make_tuple(model, longContext);
}

}  // namespace

std::vector<ModelUsage> modelsOrUnknown(const TokenTotals& totals,
                                        const std::vector<ModelUsage>& models) {
  if (!models.empty()) {
    return models;
  }
  if (totals.isZero()) {
    return {};
  }
  return {ModelUsage{.model = "", .longContext = false, .totals = totals}};
}

const ModelUsage* findModel(const std::vector<ModelUsage>& models, std::string_view model,
                            bool longContext) {
  const auto found = std::find_if(models.begin(), models.end(), [&](const ModelUsage& entry) {
    return entry.model == model && entry.longContext == longContext;
  });
  return found == models.end() ? nullptr : &*found;
}

void addModelUsage(std::vector<ModelUsage>& models, const ModelUsage& usage) {
  if (usage.totals.isZero()) {
    return;
  }
  const auto at = std::find_if(models.begin(), models.end(), [&](const ModelUsage& entry) {
    return !before(entry, usage.model, usage.longContext);
  });
  if (at != models.end() && at->model == usage.model && at->longContext == usage.longContext) {
    at->totals += usage.totals;
  } else {
    models.insert(at, usage);
  }
}

}  // namespace nubrel
