// compareVersions: split both texts into typed parts, pad the shorter numeric head with ".0"
// pairs, then compare part by part.
#include "updater/VersionComparator.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace nubrel {
namespace {

enum class PartType { number, text, period, whitespace, punctuation, dash };

// The classes of the framework this ordering comes from, restricted to ASCII: characters outside
// ASCII (and the ASCII symbols $+<=>^`|~, which are not punctuation there) count as text.
PartType typeOf(char c) {
  constexpr std::string_view kWhitespace = " \t\n\r\v\f";
  constexpr std::string_view kPunctuation = "!\"#%&'()*,/:;?@[\\]_{}";
  if (c == '.') {
    return PartType::period;
  }
  if (c == '-') {
    return PartType::dash;
  }
  if (c >= '0' && c <= '9') {
    return PartType::number;
  }
  if (kWhitespace.find(c) != std::string_view::npos) {
    return PartType::whitespace;
  }
  return kPunctuation.find(c) != std::string_view::npos ? PartType::punctuation : PartType::text;
}

bool isSeparator(PartType type) {
  return type == PartType::period || type == PartType::whitespace || type == PartType::punctuation;
}

struct Part {
  std::string_view text;
  PartType type;
};

std::vector<Part> split(std::string_view version) {
  std::vector<Part> parts;
  for (std::size_t i = 0; i < version.size(); ++i) {
    const PartType type = typeOf(version[i]);
    if (type == PartType::dash) {
      break;
    }
    // Every separator character is a part of its own; other parts run while the type holds.
    if (!parts.empty() && parts.back().type == type && !isSeparator(type)) {
      parts.back().text = std::string_view(parts.back().text.data(), parts.back().text.size() + 1);
    } else {
      parts.push_back({version.substr(i, 1), type});
    }
  }
  return parts;
}

std::size_t numericHeadLength(const std::vector<Part>& parts) {
  const auto end = std::find_if(parts.begin(), parts.end(), [](const Part& p) {
    return p.type != PartType::number && p.type != PartType::period;
  });
  return static_cast<std::size_t>(end - parts.begin());
}

// "1.0" and "1.0.0" are the same version: the shorter numeric head gets ".0" pairs. Built anew
// rather than inserted pair by pair, which would move a long tail once per pair.
void balance(std::vector<Part>& a, std::vector<Part>& b) {
  const std::size_t headA = numericHeadLength(a);
  const std::size_t headB = numericHeadLength(b);
  std::vector<Part>& shorter = headA < headB ? a : b;
  const std::size_t shortHead = std::min(headA, headB);
  const std::size_t pairs = (std::max(headA, headB) - shortHead) / 2;
  if (pairs == 0) {
    return;
  }
  const auto tail = shorter.begin() + static_cast<std::ptrdiff_t>(shortHead);
  std::vector<Part> padded(shorter.begin(), tail);
  padded.reserve(shorter.size() + 2 * pairs);
  for (std::size_t i = 0; i < pairs; ++i) {
    padded.push_back({".", PartType::period});
    padded.push_back({"0", PartType::number});
  }
  padded.insert(padded.end(), tail, shorter.end());
  shorter = std::move(padded);
}

// Digit runs of any length, compared by value without converting: no overflow.
std::strong_ordering compareNumbers(std::string_view a, std::string_view b) {
  a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
  b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
  if (a.size() != b.size()) {
    return a.size() <=> b.size();
  }
  return a.compare(b) <=> 0;
}

}  // namespace

std::strong_ordering compareVersions(std::string_view a, std::string_view b) {
  std::vector<Part> partsA = split(a);
  std::vector<Part> partsB = split(b);
  balance(partsA, partsB);

  const std::size_t common = std::min(partsA.size(), partsB.size());
  for (std::size_t i = 0; i < common; ++i) {
    const Part& pa = partsA[i];
    const Part& pb = partsB[i];
    if (isSeparator(pa.type) && isSeparator(pb.type)) {
      continue;
    }
    if (pa.type == pb.type) {
      // Byte order of UTF-8 is code-point order: case-sensitive, not localised.
      const auto order = pa.type == PartType::number ? compareNumbers(pa.text, pb.text)
                                                     : pa.text.compare(pb.text) <=> 0;
      if (order != 0) {
        return order;
      }
      continue;
    }
    // Text marks a pre-release, so the other side is newer; a number beats a separator.
    if (pb.type == PartType::text) {
      return std::strong_ordering::greater;
    }
    if (pa.type == PartType::text) {
      return std::strong_ordering::less;
    }
    return pa.type == PartType::number ? std::strong_ordering::greater : std::strong_ordering::less;
  }
  if (partsA.size() == partsB.size()) {
    return std::strong_ordering::equal;
  }
  // One ran out: text next on the longer side makes it a pre-release of the shorter; anything
  // else makes it the longer, newer version.
  const bool aLonger = partsA.size() > partsB.size();
  const Part& next = aLonger ? partsA[common] : partsB[common];
  const bool longerIsNewer = next.type != PartType::text;
  return (aLonger == longerIsNewer) ? std::strong_ordering::greater : std::strong_ordering::less;
}

}  // namespace nubrel
