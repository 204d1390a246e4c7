// The updater tests' shared harness: a key pair that signs as scripts/sign-update.sh does, short
// texts for errors that table rows can name, an appcast, a delegate naming the feed, and recording
// stand-ins for the user driver and the command runner.
#pragma once

#include <glib.h>
#include <openssl/evp.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "updater/Appcast.h"
#include "updater/CommandRunner.h"
#include "updater/SPUStandardUpdaterController.h"
#include "updater/UpdateUserDriver.h"

namespace nubrel::testing {

class SigningKey {
 public:
  std::string publicKeyBase64() const {  // the raw key, as Info.json's SUPublicEDKey holds it
    unsigned char raw[32];
    std::size_t size = sizeof raw;
    EVP_PKEY_get_raw_public_key(key_.get(), raw, &size);
    return base64(raw, size);
  }
  std::string sign(std::string_view data) const {
    unsigned char signature[64];
    std::size_t size = sizeof signature;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(),
                                                                     EVP_MD_CTX_free);
    EVP_DigestSignInit(md.get(), nullptr, nullptr, nullptr, key_.get());
    EVP_DigestSign(md.get(), signature, &size, reinterpret_cast<const unsigned char*>(data.data()),
                   data.size());
    return base64(signature, size);
  }

 private:
  static std::string base64(const unsigned char* bytes, std::size_t size) {
    const std::unique_ptr<gchar, decltype(&g_free)> text(g_base64_encode(bytes, size), g_free);
    return text.get();
  }
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{
      EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free};
};

// "badSignature", "download httpStatus 404", "installFailed 126", ...
inline std::string describe(const UpdateError& e) {
  static const char* const kNames[] = {
      "invalidFeedURL",   "insecureFeedURL",  "unreachable",  "secureConnectionFailed",
      "httpStatus",       "tooLarge",         "timedOut",     "malformedFeed",
      "missingPublicKey", "missingSignature", "badSignature", "lengthMismatch",
      "saveFailed",       "installFailed"};
  const int code = e.httpStatus + e.installerStatus;  // at most one is set
  return (e.downloading ? "download " : "") + std::string(kNames[static_cast<int>(e.kind)]) +
         (code ? " " + std::to_string(code) : "");
}

// An appcast of one item of that version, with a web page; extra goes into the item.
inline std::string appcast(const std::string& version, const std::string& extra = "") {
  return "<rss xmlns:sparkle=\"" + std::string(kSparkleNamespace) +
         "\"><channel><item><link>"
         "https://n.app/page</link><sparkle:version>" +
         version + "</sparkle:version>" + extra + "</item></channel></rss>";
}

struct FeedAt : SPUUpdaterDelegate {
  explicit FeedAt(std::string u = "") : url(std::move(u)) {}
  std::string feedURLString(const SPUUpdater&) const override { return url; }
  std::string url;
};

// What it is asked to show: "checking", "found 1.3 with notes", "upToDate 1.2 running 1.4", ...
class RecordingUserDriver : public UpdateUserDriver {
 public:
  void showCheckingForUpdates(std::function<void()> c) override { record("checking", c); }
  void showUpdateFound(const UpdateOffer& o, std::function<void()> i) override {
    install = std::move(i);
    record("found " + o.newVersion + (o.releaseNotesURL ? " with notes" : ""));
  }
  void showDownloading(std::function<void()> c) override { record("downloading", c); }
  void showInstalling() override { record("installing"); }
  void showUpdateInstalled(const UpdateOffer& o) override { record("installed " + o.newVersion); }
  void showInstallCommand(const std::string&) override { record("command"); }
  void showUpToDate(const UpToDateReport& r) override {
    record("upToDate " + r.latestVersion +
           (r.runningVersion ? " running " + *r.runningVersion : ""));
  }
  void showUpdateError(const UpdateError& e) override { record("error " + describe(e)); }
  void dismiss() override { record("dismiss"); }

  std::vector<std::string> events;
  std::function<void()> cancel, install;
  void record(std::string event, std::function<void()> onCancel = nullptr) {
    events.push_back(std::move(event));
    cancel = std::move(onCancel);
  }
};

// Records each command, with the bytes of its last argument's file when it was asked to run,
// instead of running it; finish() ends the command that runs.
class RecordingCommandRunner : public CommandRunner {
 public:
  bool hasProgram(const std::string& name) const override { return name != "pkexec" || hasPkexec; }
  void run(const std::vector<std::string>& argv, std::function<void(int)> done) override {
    commands.push_back(argv);
    std::ifstream file(argv.back(), std::ios::binary);
    handedOver.assign(std::istreambuf_iterator<char>(file), {});
    running = std::move(done);
  }
  void finish(int status) {
    if (auto done = std::exchange(running, nullptr)) {
      done(status);
    }
  }

  bool hasPkexec = true;
  std::vector<std::vector<std::string>> commands;
  std::string handedOver;
  std::function<void(int)> running;  // the command's completion while it runs
};

}  // namespace nubrel::testing
