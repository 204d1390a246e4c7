// Installing updates from a real HTTP server on 127.0.0.1 with a key pair made for the test, the
// system's installer replaced by a recorder of the command it would run.
#include "updater/UpdateInstaller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "updater/EdSignature.h"
#include "updater/FeedServer.h"
#include "updater/MainLoop.h"
#include "updater/SigningKey.h"
#include "updater/UpdaterFakes.h"
#include "updater/UpdaterTestText.h"

namespace nubrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class UpdateInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { server_.serve("/nubrel_1.3_amd64.deb", package_); }
  void TearDown() override {
    installer_.reset();
    testing::drainMainLoop();
  }

  Enclosure goodEnclosure() const {
    return {.url = server_.url("/nubrel_1.3_amd64.deb"),
            .length = package_.size(),
            .edSignature = key_.sign(package_)};
  }

  // "installed", "by hand" or the error; a command that starts ends with installerStatus.
  std::string install(const Enclosure& enclosure, const std::optional<std::string>& publicKey,
                      int installerStatus = 0) {
    std::optional<UpdateInstaller::Outcome> outcome;
    bool installing = false;
    installer_->install(
        enclosure, publicKey, [&] { installing = true; },
        [&](UpdateInstaller::Outcome o) { outcome = std::move(o); });
    EXPECT_FALSE(outcome) << "completed from inside install";
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return outcome || runner_.isRunning(); }));
    EXPECT_EQ(runner_.isRunning(), installing);
    runner_.finish(installerStatus);
    if (!outcome) {
      return "<none>";
    }
    if (const auto* error = std::get_if<UpdateError>(&*outcome)) {
      return testing::describe(*error);
    }
    if (const auto* byHand = std::get_if<UpdateInstaller::InstallByHand>(&*outcome)) {
      command_ = byHand->command;
      return "by hand";
    }
    return "installed";
  }

  // Every file below the download directory.
  std::vector<fs::path> downloads() const {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(downloadDir_, ignored)) {
      if (!entry.is_directory()) {
        files.push_back(entry.path());
      }
    }
    return files;
  }

  const std::string package_ = "!<arch>\n" + std::string(100'000, 'p');
  std::string command_;  // the last one shown to be run by hand
  testing::SigningKey key_;
  testing::FeedServer server_;
  testing::RecordingCommandRunner runner_;
  testing::TempDir dir_;
  fs::path downloadDir_ = dir_.path() / "updates";
  std::unique_ptr<UpdateInstaller> installer_ = std::make_unique<UpdateInstaller>(
      runner_, downloadDir_, FetchLimits{.totalTimeout = 5s, .ioTimeout = 1s}, "Nubrel/1");
};

TEST_F(UpdateInstallerTest, VerifiedPackageIsHandedToPkexecAptGetAndThenDeleted) {
  EXPECT_EQ("installed", install(goodEnclosure(), key_.publicKeyBase64()));
  ASSERT_EQ(1u, runner_.commands.size());
  const auto& command = runner_.commands.front();
  ASSERT_EQ(5u, command.size());
  EXPECT_EQ((std::vector<std::string>{"pkexec", "apt-get", "install", "-y"}),
            std::vector(command.begin(), command.end() - 1));
  const fs::path package = command.back();
  EXPECT_EQ(downloadDir_, package.parent_path().parent_path());
  EXPECT_EQ("nubrel_update.deb", package.filename());
  EXPECT_EQ(package_, runner_.handedOver) << "the installer got exactly the signed bytes";
  EXPECT_EQ(std::vector<fs::path>{}, downloads());
}

TEST_F(UpdateInstallerTest, NothingIsInstalledOrKeptWhenAnythingIsWrong) {
  const testing::SigningKey otherKey;
  const std::string key = key_.publicKeyBase64();
  server_.redirect("/to-http", "http://example.com/nubrel_1.3_amd64.deb");
  server_.serveCut("/cut", package_.substr(0, 40'000), package_.size());
  const Enclosure good = goodEnclosure();
  auto with = [&](auto change) {
    Enclosure changed = good;
    change(changed);
    return changed;
  };
  const struct {
    const char* label;
    Enclosure enclosure;
    std::optional<std::string> key;
    const char* expected;
    int installerStatus = 0;
  } cases[] = {
      {"signed with another key",
       with([&](Enclosure& e) { e.edSignature = otherKey.sign(package_); }), key, "badSignature"},
      {"signature of other bytes", with([&](Enclosure& e) { e.edSignature = key_.sign("x"); }), key,
       "badSignature"},
      {"signature not base64", with([](Enclosure& e) { e.edSignature = "not base64!"; }), key,
       "badSignature"},
      {"no signature", with([](Enclosure& e) { e.edSignature.reset(); }), key, "missingSignature"},
      {"no key", good, std::nullopt, "missingPublicKey"},
      {"key of 16 bytes", good, "MDEyMzQ1Njc4OWFiY2RlZg==", "missingPublicKey"},
      {"length too large", with([&](Enclosure& e) { e.length = package_.size() + 1; }), key,
       "lengthMismatch"},
      {"length too small", with([&](Enclosure& e) { e.length = package_.size() - 1; }), key,
       "lengthMismatch"},
      {"no length", with([](Enclosure& e) { e.length.reset(); }), key, "lengthMismatch"},
      {"over the size cap",
       with([](Enclosure& e) { e.length = UpdateInstaller::kMaxPackageBytes + 1; }), key,
       "download tooLarge"},
      {"redirect to http", with([&](Enclosure& e) { e.url = server_.url("/to-http"); }), key,
       "download insecureFeedURL"},
      {"download cut short", with([&](Enclosure& e) { e.url = server_.url("/cut"); }), key,
       "download unreachable"},
      {"not found", with([&](Enclosure& e) { e.url = server_.url("/gone.deb"); }), key,
       "download httpStatus 404"},
      {"installer refused", good, key, "installFailed 126", 126},
  };
  for (const auto& c : cases) {
    runner_.commands.clear();
    EXPECT_EQ(c.expected, install(c.enclosure, c.key, c.installerStatus)) << c.label;
    EXPECT_EQ(c.installerStatus == 0 ? 0u : 1u, runner_.commands.size()) << c.label;
    EXPECT_EQ(std::vector<fs::path>{}, downloads()) << c.label;
  }
}

TEST_F(UpdateInstallerTest, WithoutPkexecTheCommandIsShownAndOnlyTheLatestPackageKept) {
  runner_.hasPkexec = false;
  EXPECT_EQ("by hand", install(goodEnclosure(), key_.publicKeyBase64()));
  EXPECT_EQ("by hand", install(goodEnclosure(), key_.publicKeyBase64()));
  const auto kept = downloads();
  ASSERT_EQ(1u, kept.size());
  struct stat info {};
  ASSERT_EQ(0, stat(kept.front().parent_path().c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 0777u) << "no other user can swap the package";
  EXPECT_EQ("sudo apt-get install -y '" + kept.front().string() + "'", command_);
  EXPECT_TRUE(runner_.commands.empty());
}

TEST_F(UpdateInstallerTest, CancelledDownloadNeverCompletes) {
  server_.serveStalled("/stalled");
  Enclosure stalled = goodEnclosure();
  stalled.url = server_.url("/stalled");
  int completions = 0;
  installer_->install(stalled, key_.publicKeyBase64(), {}, [&](auto) { ++completions; });
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server_.requestCount("/stalled") == 1; }));
  installer_->cancel();
  EXPECT_FALSE(installer_->isInstalling());
  installer_->install(goodEnclosure(), std::nullopt, {}, [&](auto) { ++completions; });
  installer_.reset();
  testing::drainMainLoop();
  EXPECT_EQ(0, completions);
}

}  // namespace
}  // namespace nubrel
