// The texts of the update errors.
#include "updater/UpdateError.h"

#include <libsoup/soup.h>

namespace nubrel {

namespace {

std::string httpStatusText(const char* server, int status) {
  std::string text =
      std::string("The ") + server + " answered with HTTP status " + std::to_string(status);
  // libsoup knows the standard reason phrases; an unknown status is shown as its number only.
  const char* phrase = soup_status_get_phrase(static_cast<guint>(status));
  if (phrase != nullptr && g_strcmp0(phrase, "Unknown Error") != 0) {
    text = text + " (" + phrase + ")";
  }
  return text + ". Please try again later.";
}

std::string downloadErrorText(const UpdateError& error) {
  switch (error.kind) {
  case UpdateError::Kind::invalidFeedURL:
    return "The address of the update is not valid.";
  case UpdateError::Kind::insecureFeedURL:
    return "The update must be downloaded over a secure (HTTPS) connection.";
  case UpdateError::Kind::secureConnectionFailed:
    return "A secure connection to the download server could not be established.";
  case UpdateError::Kind::httpStatus:
    return httpStatusText("download server", error.httpStatus);
  case UpdateError::Kind::tooLarge:
    return "The update is too large to be downloaded.";
  case UpdateError::Kind::timedOut:
    return "The download server took too long to answer. Please try again later.";
  default:
    return "An error occurred while downloading the update. Please try again later.";
  }
}

}  // namespace

std::string updateErrorText(const UpdateError& error) {
  if (error.downloading) {
    return downloadErrorText(error);
  }
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
  case UpdateError::Kind::httpStatus:
    return httpStatusText("update server", error.httpStatus);
  case UpdateError::Kind::tooLarge:
    return "The update feed is too large to be read.";
  case UpdateError::Kind::timedOut:
    return "The update server took too long to answer. Please try again later.";
  case UpdateError::Kind::malformedFeed:
    return "An error occurred while parsing the update feed.";
  case UpdateError::Kind::missingPublicKey:
    return "This copy of Nubrel has no key to check updates with, so it cannot install them.";
  case UpdateError::Kind::missingSignature:
    return "The update is not signed, so it was not installed.";
  case UpdateError::Kind::badSignature:
    return "The update's signature is not valid, so it was not installed. It may have been "
           "damaged or tampered with.";
  case UpdateError::Kind::lengthMismatch:
    return "The downloaded update does not have the size its feed gives, so it was not "
           "installed. Please try again later.";
  case UpdateError::Kind::saveFailed:
    return "The downloaded update could not be saved.";
  case UpdateError::Kind::installFailed:
    // pkexec's statuses for a refused or dismissed request (pkexec(1), RETURN VALUE).
    if (error.installerStatus == 126 || error.installerStatus == 127) {
      return "Installing the update was not authorized.";
    }
    return "The update could not be installed (the installer ended with status " +
           std::to_string(error.installerStatus) + ").";
  }
  return "An error occurred in retrieving update information.";
}

}  // namespace nubrel
