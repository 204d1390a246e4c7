// Short texts for what the updater produced, so that table rows can name expected outcomes.
#pragma once

#include <string>

#include "updater/FeedFetcher.h"
#include "updater/UpdateError.h"

namespace nubrel::testing {

inline std::string describe(const UpdateError& error) {
  static const char* const kNames[] = {
      "invalidFeedURL",   "insecureFeedURL",  "unreachable",  "secureConnectionFailed",
      "httpStatus",       "tooLarge",         "timedOut",     "malformedFeed",
      "missingPublicKey", "missingSignature", "badSignature", "lengthMismatch",
      "saveFailed",       "installFailed"};
  std::string name = kNames[static_cast<int>(error.kind)];
  if (error.kind == UpdateError::Kind::httpStatus) {
    name += " " + std::to_string(error.httpStatus);
  }
  if (error.kind == UpdateError::Kind::installFailed) {
    name += " " + std::to_string(error.installerStatus);
  }
  return error.downloading ? "download " + name : name;
}

// "body <size> bytes" or the error.
inline std::string describe(const FetchResult& result) {
  if (const auto* body = std::get_if<std::string>(&result)) {
    return "body " + std::to_string(body->size()) + " bytes";
  }
  return describe(std::get<UpdateError>(result));
}

// A complete appcast with one item of the given version.
inline std::string appcast(const std::string& version, const std::string& extra = "") {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Nubrel</title>
    <item>
      <title>Version )" +
         version + R"(</title>
      <sparkle:version>)" +
         version + R"(</sparkle:version>
      <sparkle:releaseNotesLink>https://nubrel.app/notes/)" +
         version +
         R"(.html</sparkle:releaseNotesLink>
      <link>https://nubrel.app/releases/)" +
         version + R"(</link>
      )" +
         extra + R"(
    </item>
  </channel>
</rss>
)";
}

}  // namespace nubrel::testing
