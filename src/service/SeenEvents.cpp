// SeenEvents: linear probing over a table of hashes into flat arrays of signatures.
#include "service/SeenEvents.h"

#include <cstring>

namespace nubrel {
namespace {

constexpr std::size_t kInitialSlots = 1024;

}  // namespace

bool SeenEvents::matches(const Entry& entry, const EventSignature& signature) const {
  return entry.textLength == signature.timestamp.size() &&
         std::memcmp(texts_.data() + entry.textOffset, signature.timestamp.data(),
                     entry.textLength) == 0 &&
         entry.hasTotals == signature.totals.has_value() &&
         (!entry.hasTotals || entry.totals == *signature.totals);
}

bool SeenEvents::insert(const EventSignature& signature) {
  if ((entries_.size() + 1) * 2 > slots_.size()) {
    grow();
  }
  const std::size_t hash = hash_(signature);
  const std::size_t mask = slots_.size() - 1;
  std::size_t index = hash & mask;
  // The table is never more than half full, so a free slot ends every probe.
  while (slots_[index].entryPlusOne != 0) {
    const Slot& slot = slots_[index];
    if (slot.hash == hash && matches(entries_[slot.entryPlusOne - 1], signature)) {
      return false;
    }
    index = (index + 1) & mask;
  }
  entries_.push_back(Entry{.textOffset = texts_.size(),
                           .textLength = signature.timestamp.size(),
                           .hasTotals = signature.totals.has_value(),
                           .totals = signature.totals.value_or(TokenTotals{})});
  texts_ += signature.timestamp;
  slots_[index] = Slot{.hash = hash, .entryPlusOne = entries_.size()};
  return true;
}

void SeenEvents::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? kInitialSlots : old.size() * 2, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.entryPlusOne != 0) {
      std::size_t index = slot.hash & mask;
      while (slots_[index].entryPlusOne != 0) {
        index = (index + 1) & mask;
      }
      slots_[index] = slot;
    }
  }
}

}  // namespace nubrel
