// PriceCatalog: reading the price lists.
#include "pricing/PriceCatalog.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace nubrel {
namespace {

constexpr std::uintmax_t kMaxListBytes = 1 << 20;

std::optional<PriceTable> readList(const std::filesystem::path& file) {
  // Only a regular file of sensible size: a FIFO put there by mistake would block the refresh,
  // a device would read without end.
  std::error_code error;
  if (file.empty() || !std::filesystem::is_regular_file(file, error) ||
      std::filesystem::file_size(file, error) > kMaxListBytes || error) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    return std::nullopt;
  }
  return PriceTable::parse(text);
}

std::filesystem::path homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return home;
  }
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

}  // namespace

PriceCatalog PriceCatalog::installed() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  std::filesystem::path builtIn;
  if (!error) {
    builtIn = exe.parent_path() / ".." / "share" / "nubrel" / "prices.json";
  }
  // The XDG base directory rules: the variable counts only when it holds an absolute path.
  std::filesystem::path configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    configHome = xdg;
  } else if (const std::filesystem::path home = homeDirectory(); !home.empty()) {
    configHome = home / ".config";
  }
  return PriceCatalog(std::move(builtIn), configHome.empty()
                                              ? std::filesystem::path()
                                              : configHome / "nubrel" / "prices.json");
}

PriceTable PriceCatalog::load() const {
  PriceTable table = readList(builtIn_).value_or(PriceTable());
  if (const std::optional<PriceTable> user = readList(userOverride_)) {
    table.overrideWith(*user);
  }
  return table;
}

}  // namespace nubrel
