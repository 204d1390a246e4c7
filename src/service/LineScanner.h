// LineScanner: splits the bytes of a session log into lines, the one rule both log readers use,
// and passes on only the complete lines that may be token events.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/TokenLogLine.h"
#include "service/FileSystem.h"

namespace nubrel {

// The unfinished last line of what was read, carried over to the next read.
struct PartialLine {
  std::string head;      // its bytes so far; empty once `skipped`
  bool skipped = false;  // its start showed it is no token event, so the rest is dropped unread
  friend bool operator==(const PartialLine&, const PartialLine&) = default;
};

// Lines end at LF and nowhere else: a CR before the LF stays on the line (the JSON decoder takes
// it as white space), and a chunk that ends inside a line, or inside a multi-byte character, only
// defers that line. What is carried over is exactly the bytes after the last LF. A line whose
// start shows that it cannot be a token event is dropped as it streams by, so memory stays
// bounded by the longest line that may be one.
class LineScanner {
 public:
  explicit LineScanner(std::optional<PartialLine> carried = std::nullopt)
      : pending_(carried ? std::move(carried->head) : std::string()),
        skipping_(carried && carried->skipped) {}

  // Calls onLine(std::string_view) for each complete, non-empty line that may be a token event.
  template <typename OnLine>
  void feed(std::string_view bytes, OnLine&& onLine);

  // The unfinished line after everything fed so far; nullopt when the bytes ended with an LF.
  std::optional<PartialLine> carry() const {
    if (skipping_) {
      return PartialLine{.head = {}, .skipped = true};
    }
    if (pending_.empty()) {
      return std::nullopt;
    }
    return PartialLine{.head = pending_, .skipped = false};
  }

  // Hands over the unfinished last line as a line of its own (the month scan reads whole files).
  template <typename OnLine>
  void finish(OnLine&& onLine) {
    if (!pending_.empty()) {
      emit(pending_, onLine);
      pending_.clear();
    }
    skipping_ = false;
  }

 private:
  template <typename OnLine>
  static void emit(std::string_view line, OnLine& onLine) {
    if (!line.empty() && lookAtLineStart(line, true) != LineOutlook::notTokenEvent) {
      onLine(line);
    }
  }

  std::string pending_;    // bytes of an unfinished line that may be a token event
  bool skipping_ = false;  // inside a line that is no token event
};

template <typename OnLine>
void LineScanner::feed(std::string_view bytes, OnLine&& onLine) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* pos = begin;
  while (pos < end) {
    const auto* lf = static_cast<const char*>(std::memchr(pos, '\n', std::size_t(end - pos)));
    const char* const lineEnd = lf ? lf : end;
    if (skipping_) {
      skipping_ = lf == nullptr;
    } else if (!pending_.empty()) {
      pending_.append(pos, lineEnd);
      if (lf) {
        emit(pending_, onLine);
        pending_.clear();
      } else if (lookAtLineStart(pending_, false) == LineOutlook::notTokenEvent) {
        pending_.clear();
        skipping_ = true;
      }
    } else if (lf) {
      emit(std::string_view(pos, std::size_t(lineEnd - pos)), onLine);
    } else {
      const std::string_view head(pos, std::size_t(end - pos));
      if (lookAtLineStart(head, false) == LineOutlook::notTokenEvent) {
        skipping_ = true;
      } else {
        pending_.assign(head);
      }
    }
    pos = lf ? lf + 1 : end;
  }
}

// Feeds a file from its current position to its end through the scanner, one buffer at a time,
// and returns the number of bytes read. A failed read ends the stream where it failed, as if the
// file ended there: what was read before it counts, and the caller's offset stops after it.
template <typename OnLine>
std::uint64_t streamFile(ReadableFile& file, std::vector<char>& buffer, LineScanner& scanner,
                         OnLine&& onLine) {
  std::uint64_t total = 0;
  for (;;) {
    const std::optional<std::size_t> count = file.read(buffer);
    if (!count || *count == 0) {
      return total;
    }
    scanner.feed(std::string_view(buffer.data(), *count), onLine);
    total += *count;
  }
}

}  // namespace nubrel
