// Appcast parsing on libxml2's tree. Texts are gathered from text and CDATA nodes only, so an
// entity reference never expands into anything, however it nests.
#include "updater/Appcast.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <memory>

#include "updater/VersionComparator.h"

namespace nubrel {
namespace {

constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr const char* kThisSystem = "linux";

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

const char* chars(const xmlChar* text) {
  return reinterpret_cast<const char*>(text);
}
const xmlChar* xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

// namespaceURI nullptr means "in no namespace", as RSS's own names are.
bool hasName(const xmlNode* node, const char* name, const char* namespaceURI) {
  const bool nsMatches =
      namespaceURI == nullptr
          ? node->ns == nullptr
          : node->ns != nullptr && xmlStrEqual(node->ns->href, xml(namespaceURI));
  return nsMatches && xmlStrEqual(node->name, xml(name));
}

bool isElement(const xmlNode* node, const char* name, const char* namespaceURI) {
  return node->type == XML_ELEMENT_NODE && hasName(node, name, namespaceURI);
}

std::string trimmed(std::string text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string textOf(const xmlNode* children) {
  std::string text;
  for (const xmlNode* n = children; n != nullptr; n = n->next) {
    if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content) {
      text += chars(n->content);
    }
  }
  return trimmed(std::move(text));
}

std::optional<std::string> attribute(const xmlNode* element, const char* name,
                                     const char* namespaceURI) {
  for (const xmlAttr* a = element->properties; a != nullptr; a = a->next) {
    if (hasName(reinterpret_cast<const xmlNode*>(a), name, namespaceURI)) {
      return textOf(a->children);
    }
  }
  return std::nullopt;
}

// Of repeated elements, the first without xml:lang (localised variants are not chosen between).
const xmlNode* child(const xmlNode* item, const char* name, const char* namespaceURI) {
  const xmlNode* first = nullptr;
  for (const xmlNode* n = item->children; n != nullptr; n = n->next) {
    if (!isElement(n, name, namespaceURI)) {
      continue;
    }
    if (!attribute(n, "lang", kXmlNamespace)) {
      return n;
    }
    first = first ? first : n;
  }
  return first;
}

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
  return (text && !text->empty()) ? std::move(text) : std::nullopt;
}

std::optional<std::string> childText(const xmlNode* item, const char* name,
                                     const char* namespaceURI) {
  const xmlNode* element = child(item, name, namespaceURI);
  return element ? nonEmpty(textOf(element->children)) : std::nullopt;
}

// "App_1.3.4.zip" holds version 1.3.4: the text after the last '_' without its extension.
std::optional<std::string> versionFromFileName(const std::string& url) {
  const auto underscore = url.rfind('_');
  if (underscore == std::string::npos) {
    return std::nullopt;
  }
  std::string rest = url.substr(underscore + 1);
  if (rest.find('/') != std::string::npos) {
    return std::nullopt;  // the '_' was in a directory name, not in the file's
  }
  rest.erase(std::min(rest.rfind('.'), rest.size()));
  return nonEmpty(std::move(rest));
}

// Decimal digits only: "12abc", "-1", "0x10" and numbers beyond 64 bits are no length.
std::optional<std::uint64_t> lengthFrom(const std::optional<std::string>& text) {
  if (!text || text->empty() ||
      !std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), length);
  return error == std::errc() ? std::optional(length) : std::nullopt;
}

bool isValidChannelName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

struct ParsedItem {
  AppcastItem item;
  bool meantForUs = true;
};

std::optional<ParsedItem> parseItem(const xmlNode* node) {
  ParsedItem parsed;
  AppcastItem& item = parsed.item;
  const xmlNode* enclosure = child(node, "enclosure", nullptr);
  if (enclosure) {
    auto url = nonEmpty(attribute(enclosure, "url", nullptr));
    if (!url) {
      return std::nullopt;
    }
    item.enclosure =
        Enclosure{.url = std::move(*url),
                  .length = lengthFrom(attribute(enclosure, "length", nullptr)),
                  .edSignature = nonEmpty(attribute(enclosure, "edSignature", kSparkleNamespace))};
  }
  item.link = childText(node, "link", nullptr);
  if (!item.enclosure && !item.link) {
    return std::nullopt;
  }
  auto fromEnclosure = [&](const char* name) {
    return enclosure ? nonEmpty(attribute(enclosure, name, kSparkleNamespace)) : std::nullopt;
  };
  auto version = fromEnclosure("version");
  version = version ? version : childText(node, "version", kSparkleNamespace);
  version = version || !item.enclosure ? version : versionFromFileName(item.enclosure->url);
  if (!version) {
    return std::nullopt;
  }
  item.version = *version;
  auto shortVersion = fromEnclosure("shortVersionString");
  shortVersion =
      shortVersion ? shortVersion : childText(node, "shortVersionString", kSparkleNamespace);
  item.displayVersionString = shortVersion.value_or(item.version);
  item.title = childText(node, "title", nullptr).value_or("");
  item.releaseNotesLink = childText(node, "releaseNotesLink", kSparkleNamespace);

  const auto os = fromEnclosure("os");
  const auto channel = childText(node, "channel", kSparkleNamespace);
  parsed.meantForUs = (!os || *os == kThisSystem) && !(channel && isValidChannelName(*channel));
  return parsed;
}

}  // namespace

std::optional<std::vector<AppcastItem>> parseAppcast(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  xmlInitParser();
  // No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: entities stay unexpanded and no DTD is fetched.
  // The error flags keep libxml2 from printing what it finds wrong.
  const std::unique_ptr<xmlDoc, XmlDocFree> doc(
      xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || !isElement(root, "rss", nullptr)) {
    return std::nullopt;
  }
  std::vector<AppcastItem> items;
  for (const xmlNode* channel = root->children; channel; channel = channel->next) {
    if (!isElement(channel, "channel", nullptr)) {
      continue;
    }
    for (const xmlNode* node = channel->children; node; node = node->next) {
      if (!isElement(node, "item", nullptr)) {
        continue;
      }
      auto parsed = parseItem(node);
      if (!parsed) {
        return std::nullopt;
      }
      if (parsed->meantForUs) {
        items.push_back(std::move(parsed->item));
      }
    }
  }
  return items;
}

const AppcastItem* newestItem(const std::vector<AppcastItem>& items) {
  const AppcastItem* newest = nullptr;
  for (const AppcastItem& item : items) {
    if (newest == nullptr || compareVersions(item.version, newest->version) > 0) {
      newest = &item;
    }
  }
  return newest;
}

}  // namespace nubrel
