// UpdateError: why a check for updates, or the installing of an update, failed, with the text
// the error window shows.
#pragma once

#include <string>

namespace nubrel {

struct UpdateError {
  enum class Kind {
    invalidFeedURL,          // the feed URL is not an http(s) URL
    insecureFeedURL,         // plain http to a host that is not this machine, also by redirect
    unreachable,             // no connection, name not found, or an answer that is not HTTP
    secureConnectionFailed,  // TLS failed, e.g. a certificate that is not trusted
    httpStatus,              // the server answered with a status other than 2xx
    tooLarge,                // the feed is larger than the updater accepts
    timedOut,                // the server did not answer, or not completely, in time
    malformedFeed,           // not a well-formed appcast, or an item without version or link
    // Installing an update; nothing is installed and nothing downloaded is kept.
    missingPublicKey,  // Info.json has no valid SUPublicEDKey to check packages with
    missingSignature,  // the feed gives the package no signature
    badSignature,      // the signature is malformed or does not match the package
    lengthMismatch,    // the package's size is not the one the feed gives, or the feed gives none
    saveFailed,        // the package could not be written to disk
    installFailed,     // the system's installer did not succeed; installerStatus says how
  };

  Kind kind = Kind::unreachable;
  int httpStatus = 0;  // set for Kind::httpStatus
  // The network kinds above happened while downloading the package, not the feed.
  bool downloading = false;
  int installerStatus = 0;  // set for Kind::installFailed: exit status, -1 when it did not start

  friend bool operator==(const UpdateError&, const UpdateError&) = default;
};

// The sentence shown under "Update Error!", in English.
std::string updateErrorText(const UpdateError& error);

}  // namespace nubrel
