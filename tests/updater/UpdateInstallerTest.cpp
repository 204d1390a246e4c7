// Installing updates from a real HTTP server on 127.0.0.1, signed with a key pair made for the
// test, the system's installer replaced by a recorder of the command; and the runner of real
// commands that starts it.
#include "updater/UpdateInstaller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/MainLoop.h"
#include "updater/SubprocessRunner.h"
#include "updater/UpdaterHarness.h"

namespace nubrel {
namespace {

namespace fs = std::filesystem;

class UpdateInstallerTest : public ::testing::Test {
 protected:
  // "installed", "by hand: <command>" or the error; a command that starts ends with
  // installerStatus.
  std::string install(const Enclosure& enclosure, const std::optional<std::string>& publicKey,
                      int installerStatus = 0) {
    std::optional<UpdateInstaller::Outcome> outcome;
    bool installing = false;
    installer_->install(
        enclosure, publicKey, [&] { installing = true; }, [&](auto o) { outcome = std::move(o); });
    EXPECT_FALSE(outcome) << "completed from inside install";
    EXPECT_TRUE(testing::runMainLoopUntil([&] { return outcome || runner_.running; }));
    EXPECT_EQ(static_cast<bool>(runner_.running), installing);
    runner_.finish(installerStatus);
    const auto* byHand = std::get_if<UpdateInstaller::InstallByHand>(&*outcome);
    const auto* error = std::get_if<UpdateError>(&*outcome);
    return error ? testing::describe(*error) : byHand ? "by hand: " + byHand->command : "installed";
  }
  std::vector<fs::path> downloads() const {  // every file below the download directory
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      files.insert(files.end(), entry.is_directory() ? 0 : 1, entry.path());
    }
    return files;
  }

  const std::string package_ = "!<arch>\n" + std::string(100'000, 'p');
  testing::SigningKey key_;
  testing::FeedServer server_;
  testing::RecordingCommandRunner runner_;
  testing::TempDir dir_;
  std::unique_ptr<UpdateInstaller> installer_ =
      std::make_unique<UpdateInstaller>(runner_, dir_.path(), FetchLimits{}, "Nubrel/1");
};

TEST_F(UpdateInstallerTest, OnlyAVerifiedPackageIsInstalledAndNoneIsKept) {
  const std::string k = key_.publicKeyBase64(), s = key_.sign(package_);
  const std::uint64_t n = package_.size();
  const std::string u = server_.serve("/n.deb", package_);
  const struct {
    std::string url;
    std::optional<std::uint64_t> length;
    std::optional<std::string> signature, key;
    const char* expected;
    bool fetched;  // whether the package was asked for at all
    int installerStatus = 0;
  } cases[] = {
      {u, n, testing::SigningKey().sign(package_), k, "badSignature", true},
      {u, n, s.substr(0, 84), k, "badSignature", true},
      {u, n, std::nullopt, k, "missingSignature", false},
      {u, n, s, std::nullopt, "missingPublicKey", false},
      {u, n, s, k.substr(0, 20) + "\n" + k.substr(20), "missingPublicKey", false},
      {u, n, s, "MDEyMzQ1Njc4OWFiY2RlZg==", "missingPublicKey", false},  // 16 bytes
      {u, n + 1, s, k, "lengthMismatch", true},
      {u, std::nullopt, s, k, "lengthMismatch", false},
      {u, UpdateInstaller::kMaxPackageBytes + 1, s, k, "download tooLarge", false},
      {server_.redirect("/to-http", "http://example.com/n.deb"), n, s, k,
       "download insecureFeedURL", true},
      {server_.serveCut("/cut", package_.substr(0, 40'000)), n, s, k, "download unreachable", true},
      {u, n, s, k, "installFailed 126", true, 126},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url + " " + c.signature.value_or("-") + " " + c.key.value_or("-"));
    runner_.commands.clear();
    const int requests = server_.requestCount(c.url);
    EXPECT_EQ(c.expected, install({c.url, c.length, c.signature}, c.key, c.installerStatus));
    EXPECT_EQ(c.fetched, server_.requestCount(c.url) > requests);
    EXPECT_EQ(c.installerStatus == 0 ? 0u : 1u, runner_.commands.size());
    EXPECT_EQ(std::vector<fs::path>{}, downloads());
  }
  runner_.commands.clear();
  EXPECT_EQ("installed", install({u, n, s}, k));
  const std::vector<std::string> command = runner_.commands.at(0);
  EXPECT_EQ((std::vector<std::string>{"pkexec", "apt-get", "install", "-y", command.back()}),
            command);
  EXPECT_EQ(package_, runner_.handedOver) << "the installer got exactly the signed bytes";
  EXPECT_EQ(std::vector<fs::path>{}, downloads());

  // Without pkexec the command is shown, and only the latest package kept where no other user
  // can swap it.
  runner_.hasPkexec = false;
  install({u, n, s}, k);
  const std::string byHand = install({u, n, s}, k);
  const auto kept = downloads();
  ASSERT_EQ(1u, kept.size());
  struct stat info {};
  ASSERT_EQ(0, stat(kept[0].parent_path().c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 0777u);
  EXPECT_EQ("by hand: sudo apt-get install -y '" + kept[0].string() + "'", byHand);
}

TEST(SubprocessRunnerTest, ReportsEachCommandsExitStatusLaterAndNothingOnceGone) {
  auto runner = std::make_unique<SubprocessRunner>();
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"true"}, 0},
      {{"sh", "-c", "echo printed; echo complained >&2; exit 3"}, 3},
      {{"sh", "-c", "kill -TERM $$"}, -1},
      {{"no-such-program-nubrel"}, -1},
  };
  for (const auto& [argv, expected] : cases) {
    std::optional<int> status;
    runner->run(argv, [&](int s) { status = s; });
    EXPECT_FALSE(status) << "reported from inside run";
    ASSERT_TRUE(testing::runMainLoopUntil([&] { return status.has_value(); })) << argv.back();
    EXPECT_EQ(expected, status) << argv.back();
  }
  EXPECT_TRUE(runner->hasProgram("sh"));
  EXPECT_FALSE(runner->hasProgram("no-such-program-nubrel"));
  int calls = 0;
  runner->run({"true"}, [&](int) { ++calls; });
  runner->run({"no-such-program-nubrel"}, [&](int) { ++calls; });
  runner.reset();
  testing::drainMainLoop();
  EXPECT_EQ(0, calls);
}

}  // namespace
}  // namespace nubrel
