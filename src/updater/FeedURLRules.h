// Which addresses the updater may fetch and which it may hand to the browser. Feed texts are
// hostile input: these are the only doors from a feed to the network and to other programs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nubrel {

enum class FeedURLVerdict {
  allowed,   // https, or plain http to a loopback host (127.0.0.0/8, ::1, localhost)
  invalid,   // not an absolute http(s) URL with a host
  insecure,  // plain http to any other host
};

FeedURLVerdict checkFeedURL(std::string_view url);

// A redirect from an allowed address to target: as checkFeedURL(target), except that a feed
// fetched over https never continues over plain http, not even to this machine (a remote server
// must not make the updater fetch from local services).
FeedURLVerdict checkRedirect(std::string_view from, std::string_view target);

// url normalised as a page the browser may open: http or https with a host, spaces escaped as
// %20, at most kMaxWebPageURLLength bytes; nullopt for anything else (file:, javascript:, ...).
std::optional<std::string> webPageURL(std::string_view url);

inline constexpr std::size_t kMaxWebPageURLLength = 2048;

}  // namespace nubrel
