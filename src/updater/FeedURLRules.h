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

// url normalised as a page the browser may open: http or https with a host, spaces escaped as
// %20, at most kMaxWebPageURLLength bytes; nullopt for anything else (file:, javascript:, ...).
std::optional<std::string> webPageURL(std::string_view url);

inline constexpr std::size_t kMaxWebPageURLLength = 2048;

}  // namespace nubrel
