// UsageLedger: the events with their sightings, and the day buckets of the counted ones.
#include "service/UsageLedger.h"

#include <algorithm>

namespace nubrel {

UsageLedger::Key UsageLedger::keyOf(std::string_view bytes) {
  return Key{.high = hashBytes(bytes, 0x243f6a8885a308d3ULL),
             .low = hashBytes(bytes, 0x13198a2e03707344ULL)};
}

void UsageLedger::setFilePath(FileId file, std::string path) {
  if (filePaths_.size() <= file) {
    filePaths_.resize(std::size_t{file} + 1);
  }
  filePaths_[file] = std::move(path);
}

UsageLedger::ModelId UsageLedger::internModel(const std::string& model) {
  const auto [found, inserted] = modelIds_.try_emplace(model, ModelId(models_.size()));
  if (inserted) {
    models_.push_back(model);
  }
  return found->second;
}

bool UsageLedger::before(const Occurrence& a, const Occurrence& b) const {
  if (a.instant != b.instant) {
    return a.instant < b.instant;
  }
  if (a.file != b.file) {
    const std::string& pathA = a.file < filePaths_.size() ? filePaths_[a.file] : std::string();
    const std::string& pathB = b.file < filePaths_.size() ? filePaths_[b.file] : std::string();
    if (pathA != pathB) {
      return pathA < pathB;
    }
    return a.file < b.file;
  }
  return a.sequence < b.sequence;
}

std::size_t UsageLedger::earliest(const Event& event) const {
  std::size_t best = 0;
  for (std::size_t i = 1; i < event.occurrences.size(); ++i) {
    if (before(event.occurrences[i], event.occurrences[best])) {
      best = i;
    }
  }
  return best;
}

void UsageLedger::count(const Occurrence& occurrence, int sign) {
  const BucketKey key{occurrence.day, occurrence.model, occurrence.longContext};
  Bucket& bucket = buckets_[key];
  if (sign > 0) {
    bucket.totals += occurrence.increment;
    ++bucket.requests;
  } else {
    bucket.totals -= occurrence.increment;
    if (--bucket.requests == 0) {
      buckets_.erase(key);
    }
  }
}

void UsageLedger::add(std::string_view key, const Occurrence& occurrence) {
  const Key hashed = keyOf(key);
  const auto [found, inserted] = events_.try_emplace(hashed);
  Event& event = found->second;
  event.key = hashed;
  event.occurrences.push_back(occurrence);
  if (inserted) {
    count(occurrence, +1);
  } else if (before(occurrence, event.occurrences[event.winner])) {
    count(event.occurrences[event.winner], -1);
    event.winner = event.occurrences.size() - 1;
    count(occurrence, +1);
  }
  byFile_[occurrence.file].push_back(&event);
}

std::size_t UsageLedger::sightingsOf(FileId file) const {
  const auto found = byFile_.find(file);
  return found == byFile_.end() ? 0 : found->second.size();
}

void UsageLedger::withdrawFile(FileId file) {
  removeSightings(file, 0, 0);
  byFile_.erase(file);
}

void UsageLedger::withdrawAfter(FileId file, std::size_t keep, std::uint64_t fromSequence) {
  removeSightings(file, keep, fromSequence);
}

void UsageLedger::removeSightings(FileId file, std::size_t keep, std::uint64_t fromSequence) {
  const auto list = byFile_.find(file);
  if (list == byFile_.end() || list->second.size() <= keep) {
    return;
  }
  std::vector<Event*> touched(list->second.begin() + std::ptrdiff_t(keep), list->second.end());
  list->second.resize(keep);
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  for (Event* event : touched) {
    const Occurrence counted = event->occurrences[event->winner];
    std::erase_if(event->occurrences, [&](const Occurrence& o) {
      return o.file == file && o.sequence >= fromSequence;
    });
    const bool winnerGone = counted.file == file && counted.sequence >= fromSequence;
    if (winnerGone) {
      count(counted, -1);
    }
    if (event->occurrences.empty()) {
      events_.erase(event->key);
      continue;
    }
    event->winner = earliest(*event);
    if (winnerGone) {
      count(event->occurrences[event->winner], +1);
    }
  }
}

UsageLedger::DayTotals UsageLedger::totals(DayNumber first, DayNumber last) const {
  DayTotals result;
  std::map<std::pair<ModelId, bool>, TokenTotals> models;
  for (auto it = buckets_.lower_bound(BucketKey{first, 0, false});
       it != buckets_.end() && it->first.day <= last; ++it) {
    result.totals += it->second.totals;
    result.requests += it->second.requests;
    models[{it->first.model, it->first.longContext}] += it->second.totals;
  }
  for (const auto& [key, totals] : models) {
    result.models.push_back(
        ModelUsage{.model = models_[key.first], .longContext = key.second, .totals = totals});
  }
  std::sort(result.models.begin(), result.models.end(), [](const auto& a, const auto& b) {
    return std::tie(a.model, a.longContext) < std::tie(b.model, b.longContext);
  });
  return result;
}

}  // namespace nubrel
