// Which log files a day's query reads: the day's own directory, the rest of its month (sessions
// that ran past midnight or were resumed live in the directory of the day they started), and
// when the month has none, the whole tree.
#include <algorithm>
#include <set>
#include <string>

#include "service/TokenUsageService.h"

namespace nubrel {
namespace {

std::string twoDigits(std::int64_t value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::optional<std::filesystem::path> TokenUsageService::monthDirectory(const CacheKey& day) const {
  std::filesystem::path dir = sessionsDirectory_ / std::to_string(day.year) / twoDigits(day.month);
  if (!fileSystem_.exists(dir)) {
    return std::nullopt;
  }
  return dir;
}

std::optional<std::filesystem::path> TokenUsageService::dayDirectory(const CacheKey& day) const {
  std::filesystem::path dir =
      sessionsDirectory_ / std::to_string(day.year) / twoDigits(day.month) / twoDigits(day.day);
  if (!fileSystem_.exists(dir)) {
    return std::nullopt;
  }
  return dir;
}

std::optional<std::vector<std::filesystem::path>> TokenUsageService::listLogFiles(
    const std::filesystem::path& dir) const {
  std::optional<std::vector<std::filesystem::path>> entries = fileSystem_.listRecursively(dir);
  if (entries) {
    // Exactly "jsonl", case included; the name alone decides, whatever the entry is.
    std::erase_if(*entries, [](const std::filesystem::path& p) {
      const std::string name = p.filename().string();
      const auto dot = name.rfind('.');
      return dot == std::string::npos || name.compare(dot + 1, std::string::npos, "jsonl") != 0;
    });
  }
  return entries;
}

std::vector<std::filesystem::path> TokenUsageService::collectLogFiles(const CacheKey& day) const {
  // Every file is read with the same date filter, so only the set of files matters here. The day
  // directory is listed on its own as well, in case it is a link the month's walk does not enter.
  std::set<std::filesystem::path> found;
  for (const auto& dir : {dayDirectory(day), monthDirectory(day)}) {
    if (dir) {
      const auto files = listLogFiles(*dir);
      if (files) {
        found.insert(files->begin(), files->end());
      }
    }
  }
  if (found.empty()) {
    if (const auto files = listLogFiles(sessionsDirectory_)) {
      found.insert(files->begin(), files->end());
    }
  }
  // std::filesystem::path orders by component; the byte order of the whole text is wanted.
  std::vector<std::filesystem::path> sorted(found.begin(), found.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.native() < b.native(); });
  return sorted;
}

}  // namespace nubrel
