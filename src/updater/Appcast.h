// The appcast: an RSS 2.0 feed whose items describe releases, with the update framework's
// elements (matched by namespace URI, whatever the prefix). Parsed with no network access, no
// DTD loading and no entity expansion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nubrel {

inline constexpr const char* kSparkleNamespace =
    "http://www.andymatuschak.org/xml-namespaces/sparkle";

// The release's package: what "Install Update" downloads and verifies before installing it.
struct Enclosure {
  std::string url{};
  std::optional<std::uint64_t> length{};     // bytes; nullopt when absent or not a decimal number
  std::optional<std::string> edSignature{};  // base64 Ed25519 signature of the whole package

  friend bool operator==(const Enclosure&, const Enclosure&) = default;
};

// One release, as read from the feed: every text is untrusted and unvalidated.
struct AppcastItem {
  std::string title{};
  std::string version{};               // compared with the program's CFBundleVersion
  std::string displayVersionString{};  // sparkle:shortVersionString, else version
  std::optional<std::string> releaseNotesLink{};
  std::optional<std::string> link{};
  std::optional<Enclosure> enclosure{};

  friend bool operator==(const AppcastItem&, const AppcastItem&) = default;
};

// The items meant for this program, in feed order: those whose enclosure names no operating
// system or names "linux", and that are in the default channel (no sparkle:channel, or one that
// is not a valid channel name). nullopt when xml is not a well-formed RSS document, or when any
// item, wherever it is meant for, has no version or has neither a link nor an enclosure URL.
std::optional<std::vector<AppcastItem>> parseAppcast(std::string_view xml);

// The item with the newest version; of equal versions the one earlier in the feed. nullptr when
// there are none.
const AppcastItem* newestItem(const std::vector<AppcastItem>& items);

}  // namespace nubrel
