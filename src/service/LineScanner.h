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
  bool skipped = false;  // its start showed the readers have no use for it: the rest is dropped
  bool looked = false;   // its start was looked at already and left it to the decoder
  friend bool operator==(const PartialLine&, const PartialLine&) = default;
};

// Lines end at LF and nowhere else: a CR before the LF stays on the line (the JSON decoder takes
// it as white space), and a chunk that ends inside a line, or inside a multi-byte character, only
// defers that line. What is carried over is exactly the bytes after the last LF. A line whose
// start shows that the readers have no use for it is dropped as it streams by, so memory stays
// bounded by the longest line that may matter. Each line's start is looked at once, when the
// line is complete or kLookBytes of it are there, so a long line costs no more than its bytes.
class LineScanner {
 public:
  // Enough for the leading members of every line the agent writes.
  static constexpr std::size_t kLookBytes = 512;

  explicit LineScanner(std::optional<PartialLine> carried = std::nullopt)
      : pending_(carried ? std::move(carried->head) : std::string()),
        skipping_(carried && carried->skipped),
        looked_(carried && carried->looked) {}

  // Calls onLine(std::string_view) for each complete, non-empty line that may matter.
  template <typename OnLine>
  void feed(std::string_view bytes, OnLine&& onLine);

  // The unfinished line after everything fed so far; nullopt when the bytes ended with an LF.
  std::optional<PartialLine> carry() const {
    if (skipping_) {
      return PartialLine{.head = {}, .skipped = true, .looked = true};
    }
    if (pending_.empty()) {
      return std::nullopt;
    }
    return PartialLine{.head = pending_, .skipped = false, .looked = looked_};
  }

  // The unfinished last line, when it may matter: a reader counts a last line that is already a
  // whole record, and takes it back if the line goes on.
  std::optional<std::string_view> unfinishedLine() const {
    if (skipping_ || pending_.empty() ||
        (!looked_ && lookAtLineStart(pending_, true) == LineOutlook::ignored)) {
      return std::nullopt;
    }
    return std::string_view(pending_);
  }

 private:
  template <typename OnLine>
  void emit(std::string_view line, bool looked, OnLine& onLine) {
    if (!line.empty() && (looked || lookAtLineStart(line, true) != LineOutlook::ignored)) {
      onLine(line);
    }
  }

  // Settles an unfinished line once enough of it is there: dropped, or kept for the decoder.
  void lookOnce() {
    if (!looked_ && pending_.size() >= kLookBytes) {
      looked_ = true;
      if (lookAtLineStart(std::string_view(pending_).substr(0, kLookBytes), false) ==
          LineOutlook::ignored) {
        pending_.clear();
        skipping_ = true;
      }
    }
  }

  std::string pending_;    // bytes of an unfinished line that may matter
  bool skipping_ = false;  // inside a line that does not
  bool looked_ = false;    // pending_'s start was looked at and kept
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
        emit(pending_, looked_, onLine);
        pending_.clear();
        looked_ = false;
      } else {
        lookOnce();
      }
    } else if (lf) {
      emit(std::string_view(pos, std::size_t(lineEnd - pos)), false, onLine);
    } else {
      pending_.assign(pos, lineEnd);
      looked_ = false;
      lookOnce();
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
