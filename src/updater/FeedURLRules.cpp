// URL checks on GLib's RFC 3986 parser, with the flags libsoup itself parses with, so that what
// is checked here is what libsoup will request.
#include "updater/FeedURLRules.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <algorithm>

#include "updater/GlibHandles.h"

namespace nubrel {
namespace {

constexpr auto kSoupURIFlags = static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS);

bool hasControlOrSpace(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7f;
  });
}

// A parsed http(s) URL with a host; nullptr for anything else.
GUriPtr parseWebURL(std::string_view url) {
  if (url.empty() || hasControlOrSpace(url)) {
    return nullptr;
  }
  const std::string text(url);
  GUriPtr uri(g_uri_parse(text.c_str(), kSoupURIFlags, nullptr));
  if (!uri) {
    return nullptr;
  }
  const char* scheme = g_uri_get_scheme(uri.get());
  const char* host = g_uri_get_host(uri.get());
  const bool web =
      g_ascii_strcasecmp(scheme, "https") == 0 || g_ascii_strcasecmp(scheme, "http") == 0;
  if (!web || host == nullptr || *host == '\0') {
    return nullptr;
  }
  return uri;
}

// Literal loopback addresses and the name localhost only: any other name could resolve anywhere,
// and shorthand forms such as 127.1 are refused rather than interpreted.
bool isLoopbackHost(const char* host) {
  if (g_ascii_strcasecmp(host, "localhost") == 0) {
    return true;
  }
  GObjectPtr<GInetAddress> address(g_inet_address_new_from_string(host));
  return address && g_inet_address_get_is_loopback(address.get());
}

}  // namespace

FeedURLVerdict checkFeedURL(std::string_view url) {
  const GUriPtr uri = parseWebURL(url);
  if (!uri) {
    return FeedURLVerdict::invalid;
  }
  if (g_ascii_strcasecmp(g_uri_get_scheme(uri.get()), "https") == 0 ||
      isLoopbackHost(g_uri_get_host(uri.get()))) {
    return FeedURLVerdict::allowed;
  }
  return FeedURLVerdict::insecure;
}

FeedURLVerdict checkRedirect(std::string_view from, std::string_view target) {
  const FeedURLVerdict verdict = checkFeedURL(target);
  const GUriPtr source = parseWebURL(from);
  const GUriPtr destination = parseWebURL(target);
  if (verdict == FeedURLVerdict::allowed && source && destination &&
      g_ascii_strcasecmp(g_uri_get_scheme(source.get()), "https") == 0 &&
      g_ascii_strcasecmp(g_uri_get_scheme(destination.get()), "https") != 0) {
    return FeedURLVerdict::insecure;
  }
  return verdict;
}

std::optional<std::string> webPageURL(std::string_view url) {
  if (url.size() > kMaxWebPageURLLength) {
    return std::nullopt;
  }
  // Feeds in the wild carry unescaped spaces in links; they are escaped rather than refused.
  std::string escaped;
  for (const char c : url) {
    escaped += (c == ' ') ? std::string_view("%20") : std::string_view(&c, 1);
  }
  const GUriPtr uri = parseWebURL(escaped);
  if (!uri) {
    return std::nullopt;
  }
  const GCharPtr normalised(g_uri_to_string(uri.get()));
  std::string result(normalised.get());
  if (result.size() > kMaxWebPageURLLength) {
    return std::nullopt;
  }
  return result;
}

}  // namespace nubrel
