// The texts of the update errors.
#include "updater/UpdateError.h"

#include <libsoup/soup.h>

namespace nubrel {

std::string updateErrorText(const UpdateError& error) {
  switch (error.kind) {
  case UpdateError::Kind::invalidFeedURL:
    return "The address of the update feed is not valid.";
  case UpdateError::Kind::insecureFeedURL:
    return "The update feed must be fetched over a secure (HTTPS) connection.";
  case UpdateError::Kind::unreachable:
    return "An error occurred in retrieving update information: the update server could not be "
           "reached. Please try again later.";
  case UpdateError::Kind::secureConnectionFailed:
    return "A secure connection to the update server could not be established.";
  case UpdateError::Kind::httpStatus: {
    std::string text =
        "The update server answered with HTTP status " + std::to_string(error.httpStatus);
    // libsoup knows the standard reason phrases; an unknown status is shown as its number only.
    const char* phrase = soup_status_get_phrase(static_cast<guint>(error.httpStatus));
    if (phrase != nullptr && g_strcmp0(phrase, "Unknown Error") != 0) {
      text = text + " (" + phrase + ")";
    }
    return text + ". Please try again later.";
  }
  case UpdateError::Kind::tooLarge:
    return "The update feed is too large to be read.";
  case UpdateError::Kind::timedOut:
    return "The update server took too long to answer. Please try again later.";
  case UpdateError::Kind::malformedFeed:
    return "An error occurred while parsing the update feed.";
  }
  return "An error occurred in retrieving update information.";
}

}  // namespace nubrel
