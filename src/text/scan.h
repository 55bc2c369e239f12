// Internal to the text layer: the character-aware search that FindText,
// ReplaceText, SplitText and the marker routines share.
//
// GBK, as far as scanning is concerned: a byte 00..7F is a character of its
// own; a byte 80..FF is a lead byte and the byte after it is its trail,
// whatever its value. A scan starts at an origin and steps one character at a
// time, so character boundaries are counted from that origin, not from the
// start of the text. A lead byte in the last position ("dangling") ends the
// scan after it has been looked at.
#ifndef BRELK_TEXT_SCAN_H_
#define BRELK_TEXT_SCAN_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace brelk::scan {

constexpr std::size_t npos = std::string_view::npos;

inline bool IsLead(char c) noexcept {
  return static_cast<unsigned char>(c) >= 0x80;
}

// CharLength(): 2 for a lead byte with a trail after it, 1 otherwise (a
// dangling lead byte counts as a character of one byte).
inline std::size_t CharLength(std::string_view t, std::size_t i) noexcept {
  return IsLead(t[i]) && i + 1 < t.size() ? 2 : 1;
}

// FindAligned(): the 0-based index of the first occurrence of needle in text
// that begins on a character boundary counted from origin, or npos. An empty
// needle is found at origin when origin < size. Linear in the text: byte-wise
// candidates come from a fast substring search, and a short walk back from
// each over the lead-range bytes before it decides whether it is aligned.
std::size_t FindAligned(std::string_view text, std::string_view needle,
                        std::size_t origin) noexcept;

// FindAlignedEach(): FindAligned(text, needles[k], 0) for every k, npos
// where there is none, with one pass over text for all of them where the
// processor allows (SSE2): a page of many megabytes is read once, not once
// per needle.
std::vector<std::size_t> FindAlignedEach(std::string_view text,
                                         const std::vector<std::string_view>& needles) noexcept;

// FindBytesRaw(): the first byte-wise occurrence of needle at or after from.
std::size_t FindBytesRaw(std::string_view text, std::string_view needle,
                         std::size_t from) noexcept;

}  // namespace brelk::scan

#endif  // BRELK_TEXT_SCAN_H_
