// UpdaterStore: owns the updater controller, started at once, and the delegate that tells it
// where the update feed is. Made, used and destroyed on the main thread.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "updater/SPUStandardUpdaterController.h"

namespace nubrel {

class UpdaterDelegate : public SPUUpdaterDelegate {
 public:
  static constexpr const char* kDefaultFeedURL = "https://nubrel.app/appcast.xml";

  // infoFile: the dictionary to read; by default the one installed beside the program.
  explicit UpdaterDelegate(std::optional<std::filesystem::path> infoFile = std::nullopt)
      : infoFile_(std::move(infoFile)) {}

  // The information dictionary's "SUFeedURL" text exactly as it is (an empty text included);
  // the default when the entry is absent, not text, or the dictionary cannot be read.
  std::string feedURLString(const SPUUpdater& updater) const override;

 private:
  std::optional<std::filesystem::path> infoFile_;
};

class UpdaterStore {
 public:
  UpdaterStore();

  // Shared with the menu's updates command; the store keeps it for the application's life.
  const std::shared_ptr<SPUStandardUpdaterController>& updaterController() const {
    return updaterController_;
  }

 private:
  std::shared_ptr<SPUStandardUpdaterController> updaterController_;
  std::shared_ptr<UpdaterDelegate> updaterDelegate_;
};

}  // namespace nubrel
