// UpdaterStore and UpdaterDelegate.
#include "app/UpdaterStore.h"

#include "updater/InfoDictionary.h"

namespace nubrel {

std::string UpdaterDelegate::feedURLString(const SPUUpdater&) const {
  const auto text =
      infoFile_ ? infoDictionaryString(*infoFile_, "SUFeedURL") : infoDictionaryString("SUFeedURL");
  return text.value_or(kDefaultFeedURL);
}

UpdaterStore::UpdaterStore() : updaterDelegate_(std::make_shared<UpdaterDelegate>()) {
  // Starting it here runs its own daily schedule from now on.
  updaterController_ = std::make_shared<SPUStandardUpdaterController>(true, updaterDelegate_);
}

}  // namespace nubrel
