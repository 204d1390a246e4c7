// SeenEvents: the month scan's set of the token events it has already met, kept flat in memory so
// that a month of events costs a few large blocks instead of two allocations per event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/TokenEvent.h"

namespace nubrel {

// A set of EventSignature with the equality of EventSignature: the same timestamp text and the
// same totals, or both without totals. The signatures are stored in one array and their texts in
// one buffer, found through an open-addressing table of their hashes. A node-based set spends a
// cache miss per bucket hop and two allocations per entry, which on a month of some 170 000
// events was a quarter of the scan's time.
class SeenEvents {
 public:
  using Hash = std::size_t (*)(const EventSignature&);

  // `hash` is replaceable so that tests can make every signature collide.
  explicit SeenEvents(Hash hash = &defaultHash) : hash_(hash) {}

  // Adds the signature; false when an equal one was there already.
  bool insert(const EventSignature& signature);

  std::size_t size() const { return entries_.size(); }

  static std::size_t defaultHash(const EventSignature& signature) {
    return EventSignatureHash{}(signature);
  }

 private:
  struct Entry {
    std::size_t textOffset = 0;
    std::size_t textLength = 0;
    bool hasTotals = false;
    TokenTotals totals;
  };
  struct Slot {
    std::size_t hash = 0;
    std::size_t entryPlusOne = 0;  // 0: the slot is free
  };

  bool matches(const Entry& entry, const EventSignature& signature) const;
  void grow();

  Hash hash_;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::vector<Entry> entries_;
  std::string texts_;
};

}  // namespace nubrel
