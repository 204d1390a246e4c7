// Info.json lookups: the file beside the program's data, read on each call (it is small and
// fixed), and the bundle's name and versions with their fallbacks.
#include "updater/InfoDictionary.h"

#include <simdjson.h>

#include <system_error>
#include <utility>

namespace nubrel {
namespace {

constexpr const char* kDefaultName = "Nubrel";

std::optional<std::filesystem::path> infoDictionaryPath() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::nullopt;
  }
  return exe.parent_path() / ".." / "share" / "nubrel" / "Info.json";
}

std::string nonEmptyOr(std::optional<std::string> text, std::string fallback) {
  return (text && !text->empty()) ? std::move(*text) : std::move(fallback);
}

}  // namespace

std::optional<std::string> infoDictionaryString(const std::string& key) {
  const auto path = infoDictionaryPath();
  return path ? infoDictionaryString(*path, key) : std::nullopt;
}

std::optional<std::string> infoDictionaryString(const std::filesystem::path& file,
                                                const std::string& key) {
  // Only regular files: opening a FIFO or a device put there by mistake would block or read
  // without end.
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return std::nullopt;
  }
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  simdjson::dom::object object;
  std::string_view text;
  if (parser.load(file.string()).get(document) != simdjson::SUCCESS ||
      document.get_object().get(object) != simdjson::SUCCESS ||
      object[key].get_string().get(text) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return std::string(text);
}

BundleInfo bundleInfo() {
  const auto path = infoDictionaryPath();
  return bundleInfo(path.value_or(std::filesystem::path()));
}

BundleInfo bundleInfo(const std::filesystem::path& file) {
  BundleInfo info;
  info.name = nonEmptyOr(infoDictionaryString(file, "CFBundleName"), kDefaultName);
  info.version = nonEmptyOr(infoDictionaryString(file, "CFBundleVersion"), NUBREL_VERSION);
  info.shortVersion =
      nonEmptyOr(infoDictionaryString(file, "CFBundleShortVersionString"), info.version);
  info.publicEDKey = infoDictionaryString(file, "SUPublicEDKey");
  return info;
}

}  // namespace nubrel
