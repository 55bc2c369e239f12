// Text primitives: slicing by bytes, scanning by GBK characters.
#include <cstdint>
#include <cstring>
#include <string>

#include "text/scan.h"
#include "text/text.h"

namespace brelk {
namespace scan {

std::size_t FindBytesRaw(std::string_view text, std::string_view needle,
                         std::size_t from) noexcept {
  if (from > text.size() || needle.size() > text.size() - from) return npos;
  if (needle.empty()) return from;
#if defined(__GLIBC__)
  // glibc's memmem is linear in the worst case (two-way) and fast on pages.
  const void* hit = memmem(text.data() + from, text.size() - from, needle.data(),
                           needle.size());
  return hit == nullptr ? npos
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
#else
  return text.find(needle, from);
#endif
}

// FindAligned(): a byte below 80 always ends a character (it is one, or it
// is the trail of the lead before it), so the byte after it is a boundary.
// Whether a byte-wise hit is aligned therefore shows in the run of lead-range
// bytes just before it: counted from a boundary, they pair off, and the hit
// begins a character when the run is even. The walk back stops at the last
// boundary already known, so each byte is looked at once however many hits
// there are: the search stays linear and costs little more than memmem.
std::size_t FindAligned(std::string_view text, std::string_view needle,
                        std::size_t origin) noexcept {
  if (origin >= text.size()) return npos;
  std::size_t known = origin;  // a boundary at or before every hit to come
  std::size_t from = origin;
  for (;;) {
    const std::size_t hit = FindBytesRaw(text, needle, from);
    if (hit == npos) return npos;
    std::size_t start = hit;
    while (start > known && IsLead(text[start - 1])) --start;
    if ((hit - start) % 2 == 0) return hit;
    // hit is the trail of the lead before it: the next boundary follows it.
    known = hit + 1;
    from = hit + 1;
  }
}

}  // namespace scan

namespace {

constexpr char kFullWidthSpaceByte = '\xA1';

// BlankAt(): the length of the blank character at i (1 or 2), or 0.
std::size_t BlankAt(std::string_view t, std::size_t i) noexcept {
  if (t[i] == ' ') return 1;
  if (t[i] == kFullWidthSpaceByte && i + 1 < t.size() && t[i + 1] == kFullWidthSpaceByte) return 2;
  return 0;
}

std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

int32_t TextLength(const Text& t) noexcept { return static_cast<int32_t>(t.size()); }

Text TextLeft(const Text& t, int32_t n) noexcept {
  if (n <= 0) return Text();
  return Text(t.view().substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(const Text& t, int32_t n) noexcept {
  if (n <= 0) return Text();
  const std::size_t k = static_cast<std::size_t>(n) < t.size() ? static_cast<std::size_t>(n) : t.size();
  return Text(t.view().substr(t.size() - k));
}

Text TextMid(const Text& t, int32_t p, int32_t n) noexcept {
  if (p < 1 || static_cast<std::size_t>(p) > t.size() || n <= 0) return Text();
  return Text(t.view().substr(static_cast<std::size_t>(p) - 1, static_cast<std::size_t>(n)));
}

int32_t FindText(const Text& t, const Text& s, int32_t start, bool ignoreCase) noexcept {
  const std::size_t origin = start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
  if (origin >= t.size()) return -1;
  std::size_t hit;
  if (ignoreCase) {
    // Folding keeps every byte's lead/trail role: only 41..5A change.
    const std::string text = FoldAscii(t.view().substr(origin));
    hit = scan::FindAligned(text, FoldAscii(s.view()), 0);
    if (hit != scan::npos) hit += origin;
  } else {
    hit = scan::FindAligned(t.view(), s.view(), origin);
  }
  return hit == scan::npos ? -1 : static_cast<int32_t>(hit) + 1;
}

Text TrimBoth(const Text& t) noexcept {
  const std::string_view v = t.view();
  std::size_t begin = 0;
  while (begin < v.size()) {
    const std::size_t blank = BlankAt(v, begin);
    if (blank == 0) break;
    begin += blank;
  }
  std::size_t end = v.size();  // where the latest run of trailing blanks begins
  bool inRun = false;
  for (std::size_t i = begin; i < v.size();) {
    const std::size_t blank = BlankAt(v, i);
    if (blank != 0) {
      if (!inRun) end = i;
      inRun = true;
      i += blank;
    } else {
      inRun = false;
      i += scan::CharLength(v, i);
    }
  }
  if (!inRun) end = v.size();
  return Text(v.substr(begin, end - begin));
}

Text RemoveSpaces(const Text& t) noexcept {
  const std::string_view v = t.view();
  std::string out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size();) {
    const std::size_t blank = BlankAt(v, i);
    if (blank != 0) {
      i += blank;
      continue;
    }
    const std::size_t len = scan::CharLength(v, i);
    out.append(v.substr(i, len));
    i += len;
  }
  return Text(std::move(out));
}

Text ReplaceText(const Text& t, const Text& old, const Text& replacement) noexcept {
  if (t.empty() || old.empty()) return t;
  const std::string_view v = t.view();
  std::string out;
  out.reserve(v.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = scan::FindAligned(v, old.view(), pos);
    if (hit == scan::npos) break;
    out.append(v.substr(pos, hit - pos));
    out.append(replacement.view());
    pos = hit + old.size();  // the scan goes on after the occurrence
  }
  out.append(v.substr(pos));
  return Text(std::move(out));
}

TextList SplitText(const Text& t, const Text& separator) noexcept {
  TextList list;
  if (t.empty()) return list;
  if (separator.empty()) {
    list.items.push_back(t);
    return list;
  }
  const std::string_view v = t.view();
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = scan::FindAligned(v, separator.view(), pos);
    if (hit == scan::npos) break;
    list.items.emplace_back(v.substr(pos, hit - pos));
    pos = hit + separator.size();
  }
  if (pos < v.size()) list.items.emplace_back(v.substr(pos));
  return list;
}

Text ConcatText(std::initializer_list<std::string_view> parts) noexcept {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  std::string out;
  out.reserve(total);
  for (std::string_view part : parts) out.append(part);
  return Text(std::move(out));
}

int32_t CompareText(const Text& a, const Text& b) noexcept {
  const int c = a.view().compare(b.view());  // char_traits compares as unsigned
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace brelk
