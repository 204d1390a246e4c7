// UsageLedger: every model request counted once, kept per calendar day and model, with what each
// log file added, so that a file read again from its start is taken back first.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/DailyTokenUsage.h"
#include "model/Instant.h"
#include "model/TokenTotals.h"

namespace nubrel {

// A 64-bit hash of the bytes, eight at a time, multiplied and folded; seeds give independent
// hashes of the same bytes. Guards against accidents, not against an adversary.
inline std::uint64_t hashBytes(std::string_view bytes, std::uint64_t seed) {
  std::uint64_t hash = seed ^ (bytes.size() * 0x9e3779b97f4a7c15ULL);
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, bytes.data() + i, 8);
    hash = (hash ^ chunk) * 0xff51afd7ed558ccdULL;
    hash ^= hash >> 29;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  hash = (hash ^ tail) * 0xc4ceb9fe1a85ec53ULL;
  hash ^= hash >> 32;
  hash *= 0x94d049bb133111ebULL;
  return hash ^ (hash >> 31);
}

class UsageLedger {
 public:
  using FileId = std::uint32_t;
  using DayNumber = std::int32_t;  // the local date, in days since 1970-01-01
  using ModelId = std::uint32_t;   // 0 is "no model named"

  // One sighting of a request in one file.
  struct Occurrence {
    FileId file = 0;
    std::uint64_t sequence = 0;  // orders the sightings within one file
    Instant instant;
    DayNumber day = 0;
    ModelId model = 0;
    bool longContext = false;
    TokenTotals increment;  // normalized, with a positive total
  };

  struct DayTotals {
    TokenTotals totals;
    std::int64_t requests = 0;
    std::vector<ModelUsage> models;
  };

  // The same request may be seen in several files (copies, forks, hard links under other names);
  // it counts once, as its earliest sighting: by timestamp, then by the path of its file, then by
  // its place in the file. So the totals never depend on the order in which files were read.
  // `key` is the request's identity; it is kept as a 128-bit hash, so that two different
  // requests would be taken for one only with a chance of about 2^-128 per pair.
  void add(std::string_view key, const Occurrence& occurrence);
  // Room for this many more events, so that the table grows once.
  void reserve(std::size_t events) { events_.reserve(events_.size() + events); }
  // Takes back everything the file added; its sightings no longer count anywhere.
  void withdrawFile(FileId file);
  // Takes back the file's sightings after the first `keep` it added, those of sequence
  // `fromSequence` on (an unfinished last line that went on).
  void withdrawAfter(FileId file, std::size_t keep, std::uint64_t fromSequence);
  std::size_t sightingsOf(FileId file) const;

  // Ties between sightings at the same instant go to the file whose path sorts first.
  void setFilePath(FileId file, std::string path);

  ModelId internModel(const std::string& model);

  // The sum over days first..last, inclusive; requests 0 when nothing counted.
  DayTotals totals(DayNumber first, DayNumber last) const;

  std::size_t eventCount() const { return events_.size(); }

 private:
  struct Key {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const { return key.low; }
  };
  struct Event {
    Key key;
    std::vector<Occurrence> occurrences;
    std::size_t winner = 0;
  };
  struct BucketKey {
    DayNumber day;
    ModelId model;
    bool longContext;
    friend auto operator<=>(const BucketKey&, const BucketKey&) = default;
  };
  struct Bucket {
    TokenTotals totals;
    std::int64_t requests = 0;
  };

  bool before(const Occurrence& a, const Occurrence& b) const;
  std::size_t earliest(const Event& event) const;
  void count(const Occurrence& occurrence, int sign);
  void removeSightings(FileId file, std::size_t keep, std::uint64_t fromSequence);

  static Key keyOf(std::string_view bytes);

  std::unordered_map<Key, Event, KeyHash> events_;
  // Per file, the events it added, in the order it added them.
  std::unordered_map<FileId, std::vector<Event*>> byFile_;
  std::map<BucketKey, Bucket> buckets_;
  std::vector<std::string> filePaths_;
  std::vector<std::string> models_{""};
  std::unordered_map<std::string, ModelId> modelIds_{{"", 0}};
};

}  // namespace nubrel
