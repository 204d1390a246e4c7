// InMemoryFileSystem.
#include "InMemoryFileSystem.h"

#include <algorithm>
#include <cstring>

namespace nubrel::fuzzing {
namespace {

bool isBelow(const std::filesystem::path& path, const std::filesystem::path& dir) {
  auto [dirEnd, pathIt] = std::mismatch(dir.begin(), dir.end(), path.begin(), path.end());
  return dirEnd == dir.end() && pathIt != path.end();
}

bool hiddenBelow(const std::filesystem::path& path, const std::filesystem::path& dir) {
  const auto relative = path.lexically_relative(dir);
  return std::any_of(relative.begin(), relative.end(),
                     [](const auto& part) { return part.string().starts_with("."); });
}

class MemoryFile : public ReadableFile {
 public:
  MemoryFile(std::string contents, bool failSeek, std::optional<std::size_t> failAfter,
             std::size_t readSize)
      : contents_(std::move(contents)),
        failSeek_(failSeek),
        failAfter_(failAfter),
        readSize_(readSize) {}

  bool seek(std::uint64_t offset) override {
    if (failSeek_) {
      return false;
    }
    position_ = std::min<std::uint64_t>(offset, contents_.size());
    return true;
  }

  std::optional<std::size_t> read(std::span<char> buffer) override {
    if (failAfter_ && handedOut_ >= *failAfter_) {
      return std::nullopt;
    }
    std::size_t count = std::min({buffer.size(), readSize_, contents_.size() - position_});
    if (failAfter_) {
      count = std::min(count, *failAfter_ - handedOut_);
    }
    std::memcpy(buffer.data(), contents_.data() + position_, count);
    position_ += count;
    handedOut_ += count;
    return count;
  }

 private:
  std::string contents_;
  bool failSeek_;
  std::optional<std::size_t> failAfter_;
  std::size_t readSize_;
  std::size_t position_ = 0;
  std::size_t handedOut_ = 0;
};

}  // namespace

void InMemoryFileSystem::addFile(const std::filesystem::path& path, std::string contents) {
  files_[path] = File{std::move(contents), nextNumber_++, ++changes_};
}

void InMemoryFileSystem::addDirectory(const std::filesystem::path& path) {
  directories_.insert(path);
}

void InMemoryFileSystem::append(const std::filesystem::path& path, const std::string& more) {
  files_[path].contents += more;
  files_[path].modified = ++changes_;
  if (files_[path].number == 0) {
    files_[path].number = nextNumber_++;
  }
}

void InMemoryFileSystem::replace(const std::filesystem::path& path, std::string contents) {
  addFile(path, std::move(contents));
}

void InMemoryFileSystem::truncate(const std::filesystem::path& path, std::size_t size) {
  files_[path].contents.resize(size);
  files_[path].modified = ++changes_;
}

void InMemoryFileSystem::remove(const std::filesystem::path& path) {
  files_.erase(path);
}

bool InMemoryFileSystem::exists(const std::filesystem::path& path) const {
  if (files_.contains(path) || directories_.contains(path)) {
    return true;
  }
  const auto below = [&](const auto& entry) { return isBelow(entry, path); };
  return std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return below(f.first); }) ||
         std::any_of(directories_.begin(), directories_.end(), below);
}

std::optional<std::vector<std::filesystem::path>> InMemoryFileSystem::listRecursively(
    const std::filesystem::path& dir) const {
  if (!exists(dir) || files_.contains(dir)) {
    return std::nullopt;
  }
  std::vector<std::filesystem::path> entries;
  for (const auto& [path, file] : files_) {
    if (isBelow(path, dir) && !hiddenBelow(path, dir)) {
      entries.push_back(path);
    }
  }
  // Reverse order, so that nothing relies on the walk being sorted.
  std::reverse(entries.begin(), entries.end());
  return entries;
}

std::optional<FileInfo> InMemoryFileSystem::info(const std::filesystem::path& path) const {
  const auto found = files_.find(path);
  if (found == files_.end() || failInfo_.contains(path)) {
    return std::nullopt;
  }
  // Far in the future, so that no query's day is later; a change moves it on.
  constexpr std::int64_t kFuture = std::int64_t{1} << 62;
  return FileInfo{.size = found->second.contents.size(),
                  .fileNumber = found->second.number,
                  .device = 1,
                  .modifiedNanoseconds = kFuture + found->second.modified,
                  .isRegular = true};
}

std::unique_ptr<ReadableFile> InMemoryFileSystem::openForReading(
    const std::filesystem::path& path) const {
  filesOpened.push_back(path);
  const auto found = files_.find(path);
  if (found == files_.end() || failOpen_.contains(path)) {
    return nullptr;
  }
  const auto failAfter = failReadAfter_.find(path);
  return std::make_unique<MemoryFile>(
      found->second.contents, failSeek_.contains(path),
      failAfter == failReadAfter_.end() ? std::nullopt : std::optional(failAfter->second),
      readSize_);
}

}  // namespace nubrel::fuzzing
