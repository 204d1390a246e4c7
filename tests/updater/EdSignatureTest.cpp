// Ed25519 verification of update packages, and scripts/sign-update.sh producing what it accepts.
#include "updater/EdSignature.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/TempDir.h"
#include "updater/Appcast.h"
#include "updater/SigningKey.h"

namespace nubrel {
namespace {

TEST(EdSignatureTest, OnlyTheSignatureOfTheseBytesByThisKeyIsValid) {
  const testing::SigningKey key;
  const testing::SigningKey otherKey;
  const std::string data = "!<arch>\ndebian-binary";
  const std::string signature = key.sign(data);
  const std::string publicKey = key.publicKeyBase64();
  const struct {
    const char* label;
    std::string data;
    std::optional<std::string> key;
    std::optional<std::string> signature;
    SignatureVerdict verdict;
  } cases[] = {
      {"good", data, publicKey, signature, SignatureVerdict::valid},
      {"one byte more", data + " ", publicKey, signature, SignatureVerdict::invalid},
      {"other key's signature", data, publicKey, otherKey.sign(data), SignatureVerdict::invalid},
      {"checked with the other key", data, otherKey.publicKeyBase64(), signature,
       SignatureVerdict::invalid},
      {"no key", data, std::nullopt, signature, SignatureVerdict::missingKey},
      {"empty key", data, "", signature, SignatureVerdict::missingKey},
      {"key with a line break", data, publicKey.substr(0, 20) + "\n" + publicKey.substr(20),
       signature, SignatureVerdict::missingKey},
      {"key of 33 bytes", data, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", signature,
       SignatureVerdict::missingKey},
      {"no signature", data, publicKey, std::nullopt, SignatureVerdict::missingSignature},
      {"signature cut short", data, publicKey, signature.substr(0, 84), SignatureVerdict::invalid},
      {"signature with a stray character", data, publicKey, "*" + signature.substr(1),
       SignatureVerdict::invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.verdict, verifyEdSignature(c.data, c.key, c.signature)) << c.label;
  }
}

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
      output += buffer;
    }
    pclose(pipe);
  }
  return output.substr(0, output.find_last_not_of('\n') + 1);
}

TEST(EdSignatureTest, SignUpdateScriptWritesAnEnclosureTheUpdaterAccepts) {
  if (std::system("command -v openssl dpkg-deb >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "openssl or dpkg-deb is not installed";
  }
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.write("package/DEBIAN/control",
            "Package: nubrel\nVersion: 1.3.0\nArchitecture: all\nMaintainer: N <n@nubrel.app>\n"
            "Description: test\n");
  const std::string script = NUBREL_SOURCE_DIR "/scripts/sign-update.sh";
  ASSERT_EQ("", run("cd '" + root +
                    "' && openssl genpkey -algorithm ed25519 -out key.pem 2>&1 && "
                    "dpkg-deb --root-owner-group -Zgzip --build package nubrel.deb >/dev/null"));
  const std::string publicKey = run(script + " --public-key '" + root + "/key.pem'");
  const std::string attributes = run(script + " '" + root + "/key.pem' '" + root +
                                     "/nubrel.deb' 'https://nubrel.app/dl/a&b.deb'");

  const auto items = parseAppcast(
      "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><item>"
      "<enclosure " +
      attributes + "/></item></channel></rss>");
  ASSERT_TRUE(items && items->size() == 1 && items->front().enclosure) << attributes;
  const Enclosure& enclosure = *items->front().enclosure;
  std::ifstream file(dir.path() / "nubrel.deb", std::ios::binary);
  const std::string package{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ("https://nubrel.app/dl/a&b.deb", enclosure.url);
  EXPECT_EQ("1.3.0", items->front().version);
  EXPECT_EQ(package.size(), enclosure.length);
  EXPECT_EQ(SignatureVerdict::valid, verifyEdSignature(package, publicKey, enclosure.edSignature));
}

}  // namespace
}  // namespace nubrel
