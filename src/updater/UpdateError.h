// UpdateError: why a check for updates failed, with the text the error window shows.
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
  };

  Kind kind = Kind::unreachable;
  int httpStatus = 0;  // set for Kind::httpStatus

  friend bool operator==(const UpdateError&, const UpdateError&) = default;
};

// The sentence shown under "Update Error!", in English.
std::string updateErrorText(const UpdateError& error);

}  // namespace nubrel
