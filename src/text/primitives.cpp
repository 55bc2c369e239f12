// Text primitives: slicing by bytes, scanning by GBK characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

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

namespace {

// Needle: one needle still looked for by FindAlignedEach.
struct Needle {
  std::size_t index;  // into the caller's list
  std::string_view bytes;
};

#if defined(__SSE2__)
#define BRELK_SCAN_SIMD 1

// Match(): whether needle matches text at p, byte for byte.
bool Match(std::string_view text, std::size_t p, std::string_view needle) noexcept {
  return text.size() - p >= needle.size() && text.compare(p, needle.size(), needle) == 0;
}

// Probe: a needle's first and last bytes and the distance between them.
struct Probe {
  char first, last;
  std::size_t offset;
};

// The candidate positions of a chunk of text: bit i of word i / 64 is set
// when some probe's first byte stands at i and its last byte at i + offset.
// Every byte read lies before chunk + longest probe offset.
constexpr std::size_t kChunk = 1024;
using ChunkBits = uint64_t[kChunk / 64];

void CandidatesSse2(const char* data, const Probe* probes, std::size_t count, ChunkBits bits) noexcept {
  __m128i first[16], last[16];
  for (std::size_t k = 0; k < count; ++k) {
    first[k] = _mm_set1_epi8(probes[k].first);
    last[k] = _mm_set1_epi8(probes[k].last);
  }
  for (std::size_t i = 0; i < kChunk; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    __m128i hits = _mm_setzero_si128();
    for (std::size_t k = 0; k < count; ++k) {
      const __m128i end = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + probes[k].offset));
      hits = _mm_or_si128(hits, _mm_and_si128(_mm_cmpeq_epi8(block, first[k]), _mm_cmpeq_epi8(end, last[k])));
    }
    const auto mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(hits)));
    if (i % 64 == 0) bits[i / 64] = 0;
    bits[i / 64] |= mask << (i % 64);
  }
}

// Not on Windows: GCC there cannot align the stack for 32- and 64-byte
// vectors, and spilling one would fault.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define BRELK_SCAN_AVX2 1
__attribute__((target("avx2"))) void CandidatesAvx2(const char* data, const Probe* probes, std::size_t count,
                                                   ChunkBits bits) noexcept {
  __m256i first[16], last[16];
  for (std::size_t k = 0; k < count; ++k) {
    first[k] = _mm256_set1_epi8(probes[k].first);
    last[k] = _mm256_set1_epi8(probes[k].last);
  }
  for (std::size_t i = 0; i < kChunk; i += 32) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    __m256i hits = _mm256_setzero_si256();
    for (std::size_t k = 0; k < count; ++k) {
      const __m256i end = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + probes[k].offset));
      hits = _mm256_or_si256(hits,
                             _mm256_and_si256(_mm256_cmpeq_epi8(block, first[k]), _mm256_cmpeq_epi8(end, last[k])));
    }
    const auto mask = static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(hits)));
    if (i % 64 == 0) bits[i / 64] = 0;
    bits[i / 64] |= mask << (i % 64);
  }
}

__attribute__((target("avx512bw"))) void CandidatesAvx512(const char* data, const Probe* probes,
                                                          std::size_t count, ChunkBits bits) noexcept {
  __m512i first[16], last[16];
  for (std::size_t k = 0; k < count; ++k) {
    first[k] = _mm512_set1_epi8(probes[k].first);
    last[k] = _mm512_set1_epi8(probes[k].last);
  }
  for (std::size_t i = 0; i < kChunk; i += 64) {
    const __m512i block = _mm512_loadu_si512(data + i);
    __mmask64 hits = 0;
    for (std::size_t k = 0; k < count; ++k) {
      hits |= _mm512_cmpeq_epi8_mask(block, first[k]) &
              _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + i + probes[k].offset), last[k]);
    }
    bits[i / 64] = hits;
  }
}

// VectorWidth(): the widest compares the processor has, asked once.
int VectorWidth() noexcept {
  static const int width = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512bw") ? 64 : __builtin_cpu_supports("avx2") ? 32 : 16;
  }();
  return width;
}
#endif

void Candidates(const char* data, const Probe* probes, std::size_t count, ChunkBits bits) noexcept {
#if defined(BRELK_SCAN_AVX2)
  const int width = VectorWidth();
  if (width == 64) return CandidatesAvx512(data, probes, count, bits);
  if (width == 32) return CandidatesAvx2(data, probes, count, bits);
#endif
  CandidatesSse2(data, probes, count, bits);
}
#endif  // __SSE2__

}  // namespace

// FindAlignedEach(): candidates are the positions where some needle's first
// and last bytes both stand at the right distance, found for a chunk of the
// text at a time with vector compares; each candidate is compared in full,
// and its alignment is decided as in FindAligned, once per position and in
// increasing order, so the walks back stay linear together. A needle leaves
// the search once found.
std::vector<std::size_t> FindAlignedEach(std::string_view text,
                                         const std::vector<std::string_view>& needles) noexcept {
  std::vector<std::size_t> found(needles.size(), npos);
  std::vector<Needle> active;
  for (std::size_t k = 0; k < needles.size(); ++k) {
    if (text.empty()) break;
    if (needles[k].empty()) {
      found[k] = 0;
    } else if (needles[k].size() <= text.size()) {
      active.push_back({k, needles[k]});
    }
  }
#if defined(BRELK_SCAN_SIMD)
  std::size_t known = 0;  // a boundary at or before every candidate to come
  std::size_t checked = npos;
  bool alignedAtChecked = false;
  // Check(): records every active needle that begins an aligned match at p.
  const auto check = [&](std::size_t p) {
    for (std::size_t a = 0; a < active.size();) {
      const std::string_view needle = active[a].bytes;
      if (text[p] != needle[0] || !Match(text, p, needle)) {
        ++a;
        continue;
      }
      if (checked != p) {
        std::size_t start = p;
        while (start > known && IsLead(text[start - 1])) --start;
        alignedAtChecked = (p - start) % 2 == 0;
        known = alignedAtChecked ? p : p + 1;
        checked = p;
      }
      if (!alignedAtChecked) return;  // no needle begins on a trail byte
      found[active[a].index] = p;
      active.erase(active.begin() + static_cast<std::ptrdiff_t>(a));
    }
  };
  std::size_t p = 0;
  while (active.size() > 1 && active.size() <= 16) {
    Probe probes[16];
    std::size_t count = 0, longest = 0;
    for (const Needle& n : active) {
      const Probe probe = {n.bytes.front(), n.bytes.back(), n.bytes.size() - 1};
      bool repeated = false;  // needles alike at both ends share a probe
      for (std::size_t k = 0; k < count; ++k) {
        repeated = repeated || (probes[k].first == probe.first && probes[k].last == probe.last &&
                                probes[k].offset == probe.offset);
      }
      if (!repeated) probes[count++] = probe;
      longest = std::max(longest, n.bytes.size());
    }
    const std::size_t before = active.size();
    ChunkBits bits;
    for (; active.size() == before && text.size() - p >= kChunk + longest - 1; p += kChunk) {
      Candidates(text.data() + p, probes, count, bits);
      for (std::size_t w = 0; w < kChunk / 64; ++w) {
        for (uint64_t word = bits[w]; word != 0; word &= word - 1) {
          check(p + 64 * w + static_cast<std::size_t>(__builtin_ctzll(word)));
        }
      }
    }
    if (active.size() != before) continue;  // fewer probes from here on
    for (; p < text.size() && !active.empty(); ++p) check(p);  // the last few positions
    active.clear();  // the whole text is searched: the rest are absent
  }
#endif
  // Without vector compares, or for a last needle alone, memmem's own
  // search is best.
  for (const Needle& n : active) {
    if (found[n.index] == npos) found[n.index] = FindAligned(text, n.bytes, 0);
  }
  return found;
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

// RemoveSpaces(): copies the runs between blanks whole.
Text RemoveSpaces(const Text& t) noexcept {
  const std::string_view v = t.view();
  std::string out;
  out.reserve(v.size());
  std::size_t run = 0;  // where the run of non-blank characters began
  for (std::size_t i = 0; i < v.size();) {
    const std::size_t blank = BlankAt(v, i);
    if (blank == 0) {
      i += scan::CharLength(v, i);
      continue;
    }
    out.append(v.substr(run, i - run));
    i += blank;
    run = i;
  }
  out.append(v.substr(run));
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

std::vector<std::string_view> SplitViews(const Text& t, const Text& separator) noexcept {
  std::vector<std::string_view> pieces;
  if (t.empty()) return pieces;
  const std::string_view v = t.view();
  if (separator.empty()) {
    pieces.push_back(v);
    return pieces;
  }
  // Room for a piece per byte-wise occurrence, at most: one allocation.
  std::size_t most = 1;
  for (std::size_t at = v.find(separator.view()); at != std::string_view::npos;
       at = v.find(separator.view(), at + separator.size())) {
    ++most;
  }
  pieces.reserve(most);
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = scan::FindAligned(v, separator.view(), pos);
    if (hit == scan::npos) break;
    pieces.push_back(v.substr(pos, hit - pos));
    pos = hit + separator.size();
  }
  if (pos < v.size()) pieces.push_back(v.substr(pos));
  return pieces;
}

TextList SplitText(const Text& t, const Text& separator) noexcept {
  const std::vector<std::string_view> pieces = SplitViews(t, separator);
  TextList list;
  list.items.reserve(pieces.size());
  for (std::string_view piece : pieces) list.items.emplace_back(piece);
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
