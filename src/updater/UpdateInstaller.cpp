// UpdateInstaller. Nothing unverified reaches the disk: the download stays in memory (Ed25519
// needs the whole message anyway) until its length and signature hold.
#include "updater/UpdateInstaller.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <fstream>
#include <system_error>
#include <utility>

#include "updater/EdSignature.h"
#include "updater/GlibHandles.h"

namespace nubrel {
namespace {

constexpr const char* kDownloadPrefix = "download-";
constexpr const char* kPackageName = "nubrel_update.deb";

UpdateError error(UpdateError::Kind kind) {
  return UpdateError{.kind = kind};
}

// The package's directory and everything in it; failures leave nothing worse than a stale file
// that the next install removes.
void removeDownload(const std::filesystem::path& package) {
  std::error_code ignored;
  std::filesystem::remove_all(package.parent_path(), ignored);
}

void removeEarlierDownloads(const std::filesystem::path& dir) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
    if (entry.path().filename().string().starts_with(kDownloadPrefix)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace

UpdateInstaller::UpdateInstaller(CommandRunner& runner, std::filesystem::path downloadDir,
                                 FetchLimits limits, std::string userAgent)
    : runner_(runner),
      downloadDir_(std::move(downloadDir)),
      limits_(limits),
      userAgent_(std::move(userAgent)) {}

UpdateInstaller::~UpdateInstaller() {
  cancel();
}

std::filesystem::path UpdateInstaller::defaultDownloadDir() {
  return std::filesystem::path(g_get_user_cache_dir()) / "nubrel" / "updates";
}

void UpdateInstaller::install(const Enclosure& enclosure,
                              const std::optional<std::string>& publicEDKey,
                              std::function<void()> installing, std::function<void(Outcome)> done) {
  cancel();
  installing_ = std::move(installing);
  done_ = std::move(done);
  // What the feed and Info.json say is checked before anything is fetched.
  if (!publicEDKey || !decodeBase64(*publicEDKey, 32)) {
    finishLater(error(UpdateError::Kind::missingPublicKey));
    return;
  }
  if (!enclosure.edSignature) {
    finishLater(error(UpdateError::Kind::missingSignature));
    return;
  }
  if (!enclosure.length) {
    finishLater(error(UpdateError::Kind::lengthMismatch));
    return;
  }
  if (*enclosure.length > kMaxPackageBytes) {
    finishLater(UpdateError{.kind = UpdateError::Kind::tooLarge, .downloading = true});
    return;
  }
  FetchLimits limits = limits_;
  limits.maxBodyBytes = static_cast<std::size_t>(*enclosure.length);
  fetcher_ = std::make_unique<FeedFetcher>(limits, userAgent_);
  fetcher_->fetch(enclosure.url, [this, enclosure, publicEDKey](FetchResult result) {
    downloaded(enclosure, publicEDKey, std::move(result));
  });
}

void UpdateInstaller::cancel() {
  fetcher_.reset();
  generation_ = std::make_shared<int>(*generation_ + 1);
  installing_ = nullptr;
  done_ = nullptr;
}

void UpdateInstaller::downloaded(const Enclosure& enclosure,
                                 const std::optional<std::string>& publicEDKey,
                                 FetchResult result) {
  if (auto* failure = std::get_if<UpdateError>(&result)) {
    // More bytes than the feed's length: the fetcher stops at the length and says too large.
    if (failure->kind == UpdateError::Kind::tooLarge) {
      finish(error(UpdateError::Kind::lengthMismatch));
      return;
    }
    failure->downloading = true;
    finish(*failure);
    return;
  }
  const std::string& package = std::get<std::string>(result);
  if (package.size() != enclosure.length) {
    finish(error(UpdateError::Kind::lengthMismatch));
    return;
  }
  switch (verifyEdSignature(package, publicEDKey, enclosure.edSignature)) {
  case SignatureVerdict::valid:
    break;
  case SignatureVerdict::missingKey:
    finish(error(UpdateError::Kind::missingPublicKey));
    return;
  case SignatureVerdict::missingSignature:
    finish(error(UpdateError::Kind::missingSignature));
    return;
  case SignatureVerdict::invalid:
    finish(error(UpdateError::Kind::badSignature));
    return;
  }
  const auto path = save(package);
  if (!path) {
    finish(error(UpdateError::Kind::saveFailed));
    return;
  }
  if (!runner_.hasProgram("pkexec")) {
    const GCharPtr quoted(g_shell_quote(path->c_str()));
    finish(InstallByHand{std::string("sudo apt-get install -y ") + quoted.get()});
    return;
  }
  if (installing_) {
    std::exchange(installing_, nullptr)();
  }
  const std::weak_ptr<int> generation = generation_;
  runner_.run(
      {"pkexec", "apt-get", "install", "-y", path->string()},
      [this, generation, package = *path](int status) {
        removeDownload(package);
        if (generation.expired()) {
          return;
        }
        if (status == 0) {
          finish(Installed{});
        } else {
          finish(UpdateError{.kind = UpdateError::Kind::installFailed, .installerStatus = status});
        }
      });
}

std::optional<std::filesystem::path> UpdateInstaller::save(const std::string& package) {
  std::error_code error;
  std::filesystem::create_directories(downloadDir_, error);
  removeEarlierDownloads(downloadDir_);
  // g_mkdtemp makes the directory 0700: nobody else can swap the package before it is installed.
  std::string dirTemplate = (downloadDir_ / (std::string(kDownloadPrefix) + "XXXXXX")).string();
  if (g_mkdtemp(dirTemplate.data()) == nullptr) {
    return std::nullopt;
  }
  const std::filesystem::path path = std::filesystem::path(dirTemplate) / kPackageName;
  std::ofstream out(path, std::ios::binary);
  out.write(package.data(), static_cast<std::streamsize>(package.size()));
  out.close();
  if (!out) {
    removeDownload(path);
    return std::nullopt;
  }
  return path;
}

void UpdateInstaller::finish(Outcome outcome) {
  fetcher_.reset();
  installing_ = nullptr;
  if (auto done = std::exchange(done_, nullptr)) {
    done(std::move(outcome));
  }
}

void UpdateInstaller::finishLater(Outcome outcome) {
  struct Pending {
    UpdateInstaller* self;
    std::weak_ptr<int> generation;
    Outcome outcome;
  };
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) {
        auto* pending = static_cast<Pending*>(data);
        if (!pending->generation.expired()) {
          pending->self->finish(std::move(pending->outcome));
        }
        return G_SOURCE_REMOVE;
      },
      new Pending{this, generation_, std::move(outcome)},
      [](gpointer data) { delete static_cast<Pending*>(data); });
}

}  // namespace nubrel
