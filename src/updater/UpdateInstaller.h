// UpdateInstaller: "Install Update" from the feed's enclosure to the system's package manager.
// The package is downloaded under the feed's rules into memory, its length and Ed25519 signature
// are checked, and only then is it written to disk and handed to
// `pkexec apt-get install -y <package>`; without pkexec the user is shown the command instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "updater/Appcast.h"
#include "updater/CommandRunner.h"
#include "updater/FeedFetcher.h"
#include "updater/UpdateError.h"

namespace nubrel {

class UpdateInstaller {
 public:
  struct Installed {
    friend bool operator==(const Installed&, const Installed&) = default;
  };
  // pkexec is missing: the verified package is kept for the user to install with command.
  struct InstallByHand {
    std::string command;
    friend bool operator==(const InstallByHand&, const InstallByHand&) = default;
  };
  using Outcome = std::variant<Installed, InstallByHand, UpdateError>;

  // Larger packages are refused before a byte is fetched: the whole package is held in memory.
  static constexpr std::uint64_t kMaxPackageBytes = 256 * 1024 * 1024;

  // downloadDir: where verified packages are written, one fresh directory each (mode 0700),
  // after the ones of earlier installs are removed. runner must outlive the installer.
  UpdateInstaller(CommandRunner& runner, std::filesystem::path downloadDir, FetchLimits limits,
                  std::string userAgent);
  ~UpdateInstaller();
  UpdateInstaller(const UpdateInstaller&) = delete;
  UpdateInstaller& operator=(const UpdateInstaller&) = delete;

  // $XDG_CACHE_HOME/nubrel/updates
  static std::filesystem::path defaultDownloadDir();

  // Starts installing, after cancelling an install that is running. installing is called when
  // the verified package is handed to the system's installer; done exactly once, on a later turn
  // of the main loop, unless cancel() comes first. Every failure leaves no package behind.
  void install(const Enclosure& enclosure, const std::optional<std::string>& publicEDKey,
               std::function<void()> installing, std::function<void(Outcome)> done);
  // Stops a download, or forgets an installer that is running (it runs on, unwatched).
  void cancel();
  bool isInstalling() const { return static_cast<bool>(done_); }

 private:
  void downloaded(const Enclosure& enclosure, const std::optional<std::string>& publicEDKey,
                  FetchResult result);
  std::optional<std::filesystem::path> save(const std::string& package);
  void finish(Outcome outcome);
  void finishLater(Outcome outcome);

  CommandRunner& runner_;
  std::filesystem::path downloadDir_;
  FetchLimits limits_;
  std::string userAgent_;
  std::unique_ptr<FeedFetcher> fetcher_;
  std::function<void()> installing_;
  std::function<void(Outcome)> done_;
  // Replaced by each install and by cancel, so that callbacks of an earlier one find it gone.
  std::shared_ptr<int> generation_ = std::make_shared<int>(0);
};

}  // namespace nubrel
