// Code-page conversion for the Linux build: MultiByteToWideChar and
// WideCharToMultiByte as Windows defines them, for the two code pages the
// library uses. ICU does the mapping; this file adds the Windows calling
// convention (length -1, capacity 0 measures, 0 answers failure), exact
// measuring, and fast paths for ASCII.
//
// Code page 65001, UTF-8
//   - Ill-formed input is replaced, never an error: one U+FFFD for each
//     maximal ill-formed subsequence (Unicode's recommended practice, which
//     ICU's UTF-8 converter and its U8_NEXT macro follow). So C0 AF gives two
//     U+FFFD, ED A0 80 (a surrogate) three, and a truncated sequence one,
//     without swallowing the character after it. A zero byte is a character.
//   - UTF-16 to UTF-8 writes an unpaired surrogate as U+FFFD (EF BF BD).
//
// Code page 936, Windows' GBK: ICU's "windows-936" mapping.
//   - 00-7F are ASCII, 80 is the euro sign U+20AC, FF is U+F8F5; every lead
//     byte 81-FE with a trail byte 40-7E or 80-FE is a character.
//   - The user-defined areas map both ways to the Private Use Area, as on
//     Windows: AAA1-AFFE to U+E000-E233, F8A1-FEFE to U+E234-E4C5 and
//     A140-A7A0 to U+E4C6-E765; the remaining unassigned cells of the grid
//     (A2AB, A6D9, A8BC, FE50 ...) continue at U+E766-E864.
//   - Malformed GBK (a lead byte followed by 00-3F, 7F or FF, or a lead byte
//     at the end) gives U+FFFD for the lead byte alone; the byte after it is
//     converted by itself, so an ASCII byte or the terminator survives.
//   - A character GBK cannot hold becomes "?", one per character (a surrogate
//     pair is one character); so does an unpaired surrogate. That includes
//     the default-ignorable characters (U+FEFF, U+00AD, U+200D ...), which
//     ICU's stock substitution would drop without a trace, and there is no
//     best fit: nothing is replaced by a look-alike (U+00C0 is "?", not the
//     GBK letter a with grave).
//   - WC_COMPOSITECHECK (UTF-16 to 936): a character followed by a
//     non-spacing mark (general category Mn) is replaced by the precomposed
//     character of the two where Unicode has one (e + U+0301 is U+00E9, GBK
//     A8 A6); otherwise both are converted in turn (q + U+0301 is "q?"). The
//     result takes the next mark the same way (u + U+0308 + U+0304 is U+01D6,
//     A8 B5). Pairs only: no reordering of marks, no singleton mappings, and
//     a composite GBK lacks still becomes "?" (a + U+030A is U+00E5, "?").
//
// Speed: text from UTF-8 to GBK passes through four calls (measure and
// convert to UTF-16, measure and convert to GBK), so each must cost a
// fraction of one ICU conversion. UTF-8 is decoded here, with the same code
// for measuring and converting: ASCII and the common three-byte sequences
// inline, everything else through ICU's U8_NEXT. For UTF-16 to GBK, the
// bytes each BMP code point takes are read from the converter once into a
// table, so measuring is one look-up per unit; converting copies long ASCII
// runs itself and hands each stretch between them to ICU in one call.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace brelk::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr int64_t kMaxResult = INT32_MAX;

// SourceBytes(): the number of bytes to convert, -1 meaning up to and
// including the zero byte; -1 on a bad length.
int64_t SourceBytes(const char* source, int32_t sourceLength) noexcept {
  if (sourceLength == -1) return static_cast<int64_t>(std::strlen(source)) + 1;
  return sourceLength > 0 ? sourceLength : -1;
}

// SourceUnits(): the same for UTF-16 units.
int64_t SourceUnits(const char16_t* source, int32_t sourceLength) noexcept {
  if (sourceLength == -1) {
    int64_t n = 0;
    while (source[n] != 0) ++n;
    return n + 1;
  }
  return sourceLength > 0 ? sourceLength : -1;
}

// Answer(): what the Windows functions return for a result of n units or
// bytes (negative: failure), given that it had to fit in capacity.
int32_t Answer(int64_t n, int32_t capacity) noexcept {
  if (n <= 0 || n > kMaxResult) return 0;
  if (capacity != 0 && n > capacity) return 0;
  return static_cast<int32_t>(n);
}

// ---------------------------------------------------------------------------
// UTF-8 to UTF-16

constexpr uint64_t kHighBits = 0x8080808080808080u;

// A three-byte sequence led by E1-EC or EE-EF (all of Chinese, and the
// full-width forms) is well-formed with any two continuation bytes after
// the lead: those leads have neither overlong forms nor surrogates.
bool CommonLead(uint32_t lead) noexcept { return lead - 0xE1 < 15 && lead != 0xED; }

// HasZeroByte(): whether any of the four bytes of v is 0.
bool HasZeroByte(uint32_t v) noexcept { return ((v - 0x01010101u) & ~v & 0x80808080u) != 0; }

// FourCommonChars(): whether s[0..12) holds four such sequences, tested a
// machine word at a time (little-endian lane order; elsewhere it answers
// false and the bytes go the slower way).
[[gnu::always_inline]] inline bool FourCommonChars(const uint8_t* s) noexcept {
  if constexpr (std::endian::native != std::endian::little) return false;
  uint64_t a;
  uint32_t b;
  std::memcpy(&a, s, 8);
  std::memcpy(&b, s + 8, 4);
  constexpr uint64_t kTrailsA = 0xFF00FFFF00FFFF00u;  // bytes 1, 2, 4, 5, 7
  constexpr uint32_t kTrailsB = 0xFFFF00FFu;          // bytes 8, 10, 11
  if ((a & kTrailsA & 0xC0C0C0C0C0C0C0C0u) != (kTrailsA & kHighBits)) return false;
  if ((b & kTrailsB & 0xC0C0C0C0u) != (kTrailsB & 0x80808080u)) return false;
  const uint32_t leads = static_cast<uint32_t>((a & 0xFF) | ((a >> 24) & 0xFF) << 8 |
                                               ((a >> 48) & 0xFF) << 16) |
                         ((b >> 8) & 0xFF) << 24;  // bytes 0, 3, 6, 9
  return (leads & 0xF0F0F0F0u) == 0xE0E0E0E0u && !HasZeroByte(leads ^ 0xE0E0E0E0u) &&
         !HasZeroByte(leads ^ 0xEDEDEDEDu);
}

// ThreeByteValue(): the code point of the three-byte sequence at s.
char16_t ThreeByteValue(const uint8_t* s) noexcept {
  return static_cast<char16_t>((s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu));
}

// DecodeUtf8(): the UTF-16 form of s[0..n). Without kStore it only counts
// the units; with kStore it also writes them to out and answers -1 when they
// do not fit in capacity. Measuring and converting share this code, so the
// converting call writes exactly the measured number of units.
//
// ASCII and the common three-byte sequences are decoded inline, eight and
// four at a time where they run on. Everything else goes through U8_NEXT,
// which also steps over an ill-formed sequence by exactly one maximal
// subpart.
template <bool kStore>
int64_t DecodeUtf8(const uint8_t* s, int64_t n, char16_t* out, int64_t capacity) noexcept {
  int64_t i = 0, k = 0;
  while (i < n) {
    const uint32_t b = s[i];
    if (b < 0x80) {
      while (n - i >= 8 && (!kStore || capacity - k >= 8)) {
        uint8_t block[8];
        std::memcpy(block, s + i, 8);
        uint64_t bits;
        std::memcpy(&bits, block, 8);
        if ((bits & kHighBits) != 0) break;
        if constexpr (kStore) {
          char16_t units[8];
          for (int j = 0; j < 8; ++j) units[j] = block[j];
          std::memcpy(out + k, units, sizeof units);
        }
        i += 8;
        k += 8;
      }
      while (i < n && s[i] < 0x80) {
        if constexpr (kStore) {
          if (k == capacity) return -1;
          out[k] = s[i];
        }
        ++i;
        ++k;
      }
      continue;
    }
    while (n - i >= 3) {
      if (n - i >= 12 && (!kStore || capacity - k >= 4) && FourCommonChars(s + i)) {
        if constexpr (kStore) {
          uint8_t bytes[12];
          std::memcpy(bytes, s + i, sizeof bytes);
          for (int j = 0; j < 4; ++j) out[k + j] = ThreeByteValue(bytes + 3 * j);
        }
        i += 12;
        k += 4;
        continue;
      }
      if (!CommonLead(s[i]) || ((s[i + 1] ^ 0x80u) | (s[i + 2] ^ 0x80u)) >= 0x40) break;
      if constexpr (kStore) {
        if (k == capacity) return -1;
        out[k] = ThreeByteValue(s + i);
      }
      i += 3;
      ++k;
    }
    if (i == n || s[i] < 0x80) continue;
    const int32_t rest = n - i < 4 ? static_cast<int32_t>(n - i) : 4;
    int32_t length = 0;
    UChar32 c;
    U8_NEXT(s + i, length, rest, c);
    if (c < 0) c = kReplacement;
    i += length;
    if (c <= 0xFFFF) {
      if constexpr (kStore) {
        if (k == capacity) return -1;
        out[k] = static_cast<char16_t>(c);
      }
      ++k;
    } else {
      if constexpr (kStore) {
        if (capacity - k < 2) return -1;
        out[k] = static_cast<char16_t>(U16_LEAD(c));
        out[k + 1] = static_cast<char16_t>(U16_TRAIL(c));
      }
      k += 2;
    }
  }
  return k;
}

// ---------------------------------------------------------------------------
// Code page 936

// Converter: an ICU converter, closed when it goes out of scope.
struct ConverterCloser {
  void operator()(UConverter* converter) const noexcept { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// SubstituteQuestionMark(): the from-Unicode callback for code page 936:
// "?" for every character the converter cannot map and for every unpaired
// surrogate, default-ignorable characters included.
void SubstituteQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*,
                            int32_t, UChar32, UConverterCallbackReason reason,
                            UErrorCode* error) noexcept {
  if (reason > UCNV_IRREGULAR) return;  // reset, close or clone: nothing to write
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, error);
}

// OpenGbk(): a fresh windows-936 converter with the "?" substitution, or
// null when ICU cannot provide one. To Unicode, ICU's own substitution
// writes U+FFFD for malformed input.
Converter OpenGbk() noexcept {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open("windows-936", &error));
  if (U_FAILURE(error)) return nullptr;
  ucnv_setFromUCallBack(converter.get(), SubstituteQuestionMark, nullptr, nullptr, nullptr,
                        &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// What the converter writes for each BMP code point, read from it once.
struct GbkTable {
  bool ready = false;
  // True when no supplementary code point maps, so each one is one "?".
  bool supplementaryUnmapped = false;
  // Per BMP code unit: the number of bytes written for it (kLengthBits),
  // kSurrogateBit for a surrogate, kMarkBit for a non-spacing mark.
  std::array<uint8_t, 0x10000> entry{};
};

constexpr uint8_t kLengthBits = 0x3F;
constexpr uint8_t kSurrogateBit = 0x40;
constexpr uint8_t kMarkBit = 0x80;

// BuildGbkTable(): the table, read from a fresh converter; not ready when
// ICU cannot provide the converter.
GbkTable BuildGbkTable() noexcept {
  GbkTable table;
  Converter converter = OpenGbk();
  if (!converter) return table;

  // All BMP code points but the surrogates, converted in one call; the
  // offsets tell which code point each output byte belongs to. The mapping
  // has no state, so a code point takes the same bytes wherever it stands.
  std::u16string all;
  for (uint32_t u = 0; u < 0x10000; ++u) {
    if (!U16_IS_SURROGATE(u)) all.push_back(static_cast<char16_t>(u));
  }
  std::vector<char> bytes(all.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter.get())));
  std::vector<int32_t> offsets(bytes.size());
  char* target = bytes.data();
  const UChar* source = all.data();
  UErrorCode error = U_ZERO_ERROR;
  ucnv_fromUnicode(converter.get(), &target, bytes.data() + bytes.size(), &source,
                   all.data() + all.size(), offsets.data(), true, &error);
  if (U_FAILURE(error)) return table;
  for (std::ptrdiff_t j = 0; j < target - bytes.data(); ++j) {
    const int32_t at = offsets[static_cast<std::size_t>(j)];
    if (at < 0 || ++table.entry[all[static_cast<std::size_t>(at)]] > kLengthBits) return table;
  }
  for (uint32_t u = 0; u < 0x10000; ++u) {
    if (U16_IS_SURROGATE(u)) table.entry[u] = kSurrogateBit;
    if (u_charType(static_cast<UChar32>(u)) == U_NON_SPACING_MARK) table.entry[u] |= kMarkBit;
  }

  USet* mapped = uset_openEmpty();
  USet* supplementary = uset_open(0x10000, 0x10FFFF);
  ucnv_getUnicodeSet(converter.get(), mapped, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &error);
  table.supplementaryUnmapped = U_SUCCESS(error) && uset_containsNone(mapped, supplementary);
  uset_close(supplementary);
  uset_close(mapped);
  table.ready = true;
  return table;
}

// Gbk(): the table, built on first use (thread-safe) and never changed.
const GbkTable& Gbk() noexcept {
  static const GbkTable table = BuildGbkTable();
  return table;
}

// SupplementaryBytes(): what the converter writes for code point c above
// U+FFFF: one "?" while the mapping holds none of them, else asked of ICU.
int64_t SupplementaryBytes(const GbkTable& table, UChar32 c) noexcept {
  if (table.supplementaryUnmapped) return 1;
  Converter converter = OpenGbk();
  if (!converter) return -1;
  const UChar pair[2] = {U16_LEAD(c), U16_TRAIL(c)};
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter.get(), nullptr, 0, pair, 2, &error);
  return error == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(error) ? n : -1;
}

// AllAscii(): whether the eight units from s on are all ASCII.
bool AllAscii(const char16_t* s) noexcept {
  char16_t u[8];
  std::memcpy(u, s, sizeof u);
  char16_t any = 0;
  for (char16_t unit : u) any |= unit;
  return any < 0x80;
}

// ScanGbk(): the number of bytes converting s[0..n) to GBK writes (-1 when
// that cannot be told), and whether a non-spacing mark occurs. ASCII is
// counted eight units at a time; a chunk without surrogates and marks,
// nearly every other chunk, costs one table look-up per unit and no branch;
// the rest are walked a character at a time.
int64_t ScanGbk(const GbkTable& table, const char16_t* s, int64_t n, bool& hasMark) noexcept {
  constexpr int64_t kChunk = 32;
  const uint8_t* entry = table.entry.data();
  int64_t bytes = 0;
  bool mark = false;
  int64_t i = 0;
  while (i < n) {
    if (n - i >= 8 && AllAscii(s + i)) {  // one byte each
      bytes += 8;
      i += 8;
      continue;
    }
    const int64_t end = n - i > kChunk ? i + kChunk : n;
    uint32_t sum = 0;
    uint8_t seen = 0;
    for (int64_t j = i; j < end; ++j) {
      const uint8_t e = entry[s[j]];
      sum += e;
      seen |= e;
    }
    if ((seen & (kSurrogateBit | kMarkBit)) == 0) {
      bytes += sum;
      i = end;
      continue;
    }
    // A pair that straddles the chunk's end is taken whole; i then ends
    // one past it.
    for (; i < end; ++i) {
      const char16_t u = s[i];
      const uint8_t e = entry[u];
      if ((e & kSurrogateBit) == 0) {
        bytes += e & kLengthBits;
        mark = mark || (e & kMarkBit) != 0;
      } else if (U16_IS_SURROGATE_LEAD(u) && i + 1 < n && U16_IS_TRAIL(s[i + 1])) {
        const UChar32 c = U16_GET_SUPPLEMENTARY(u, s[i + 1]);
        ++i;
        const int64_t b = SupplementaryBytes(table, c);
        if (b < 0) return -1;
        bytes += b;
        mark = mark || u_charType(c) == U_NON_SPACING_MARK;
      } else {
        bytes += 1;  // an unpaired surrogate: "?"
      }
    }
  }
  hasMark = mark;
  return bytes;
}

// IsMark(): whether c is a non-spacing mark (general category Mn).
bool IsMark(const GbkTable& table, UChar32 c) noexcept {
  if (c <= 0xFFFF) return (table.entry[static_cast<uint32_t>(c)] & kMarkBit) != 0;
  return u_charType(c) == U_NON_SPACING_MARK;
}

// Compose(): s[0..n) with each character that a non-spacing mark follows
// replaced, left to right, by the precomposed character of the two where
// Unicode has one; the composite meets the next mark the same way.
std::u16string Compose(const GbkTable& table, const char16_t* s, int64_t n) noexcept {
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
  std::u16string out;
  out.reserve(static_cast<std::size_t>(n));
  auto append = [&out](UChar32 c) {
    if (c > 0xFFFF) {
      out.push_back(static_cast<char16_t>(U16_LEAD(c)));
      out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
    } else {
      out.push_back(static_cast<char16_t>(c));  // an unpaired surrogate stays one unit
    }
  };
  int64_t i = 0;
  UChar32 current;
  U16_NEXT(s, i, n, current);
  while (i < n) {
    UChar32 next;
    U16_NEXT(s, i, n, next);
    if (U_SUCCESS(error) && IsMark(table, next)) {
      const UChar32 composite = unorm2_composePair(nfc, current, next);
      if (composite >= 0) {
        current = composite;
        continue;
      }
    }
    append(current);
    current = next;
  }
  append(current);
  return out;
}

// NarrowAscii(): copies n ASCII units to out, one byte each, eight at a
// time through local copies (out may alias anything, which keeps the
// compiler from batching the stores itself).
void NarrowAscii(const char16_t* s, int64_t n, char* out) noexcept {
  int64_t j = 0;
  for (; n - j >= 8; j += 8) {
    char16_t units[8];
    std::memcpy(units, s + j, sizeof units);
    char bytes[8];
    for (int t = 0; t < 8; ++t) bytes[t] = static_cast<char>(units[t]);
    std::memcpy(out + j, bytes, sizeof bytes);
  }
  for (; j < n; ++j) out[j] = static_cast<char>(s[j]);
}

// ASCII runs shorter than this between other characters go to ICU with
// them: the call that a run of its own would need costs more than ICU's
// handling of a short run. A multiple of the block size.
constexpr int64_t kAsciiRun = 32;

// HasSupplementaryMark(): whether s[0..n) holds a surrogate pair that
// encodes a non-spacing mark.
bool HasSupplementaryMark(const char16_t* s, int64_t n) noexcept {
  for (int64_t i = 0; i + 1 < n; ++i) {
    if (U16_IS_LEAD(s[i]) && U16_IS_TRAIL(s[i + 1]) &&
        u_charType(U16_GET_SUPPLEMENTARY(s[i], s[i + 1])) == U_NON_SPACING_MARK) {
      return true;
    }
  }
  return false;
}

constexpr int64_t kFoundMark = -2;

// EncodeGbk(): converts s[0..n) into out. Answers the number of bytes
// written; -1 when they do not fit in capacity or ICU fails; kFoundMark, with
// part of the output written, when checkMarks is set and a non-spacing mark
// occurs (ScanGbk would have reported it).
//
// The source is taken in blocks of eight units. A run of at least kAsciiRun
// units in all-ASCII blocks is copied here; everything between such runs
// goes to ICU as one stretch, in one call. Walking by blocks keeps the walk
// free of a branch per unit. A stretch ends just before an ASCII unit, so it
// never splits a surrogate pair, and the mapping keeps no state from one call
// to the next.
int64_t EncodeGbk(const GbkTable& table, const char16_t* s, int64_t n, char* out,
                  int64_t capacity, bool checkMarks) noexcept {
  Converter converter = OpenGbk();
  if (!converter) return -1;
  const uint8_t* entry = table.entry.data();
  char* o = out;  // never address-taken, so it stays in a register
  char* const end = out + capacity;
  int64_t stretch = -1;  // start of the stretch not yet converted
  uint8_t seen = 0;      // table bits of the stretch's units
  auto convert = [&](int64_t to) {
    if (checkMarks && ((seen & kMarkBit) != 0 ||
                       ((seen & kSurrogateBit) != 0 &&
                        HasSupplementaryMark(s + stretch, to - stretch)))) {
      return kFoundMark;
    }
    const UChar* source = s + stretch;
    char* target = o;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_fromUnicode(converter.get(), &target, end, &source, s + to, nullptr, true, &error);
    o = target;
    stretch = -1;
    seen = 0;
    return U_SUCCESS(error) ? int64_t{0} : int64_t{-1};
  };
  int64_t i = 0;
  while (i < n) {
    int64_t run = 0;
    while (n - i - run >= 8 && AllAscii(s + i + run)) run += 8;
    if (run >= kAsciiRun || (run > 0 && i + run == n)) {
      if (stretch >= 0) {
        if (const int64_t failed = convert(i); failed != 0) return failed;
      }
      if (end - o < run) return -1;
      NarrowAscii(s + i, run, o);
      o += run;
      i += run;
      continue;
    }
    if (stretch < 0) stretch = i;
    if (run > 0) {  // a short ASCII run stays in the stretch
      i += run;
      continue;
    }
    const int64_t next = n - i > 8 ? i + 8 : n;
    for (; i < next; ++i) seen |= entry[s[i]];
  }
  if (stretch >= 0) {
    if (const int64_t failed = convert(n); failed != 0) return failed;
  }
  return o - out;
}

// ToGbk(): WideToMultiByte for code page 936. With WC_COMPOSITECHECK and a
// non-spacing mark in the source, the source is composed first; the
// measuring and the converting call find the same marks and so agree.
int32_t ToGbk(uint32_t flags, const char16_t* source, int64_t n, char* out,
              int32_t capacity) noexcept {
  const GbkTable& table = Gbk();
  if (!table.ready) return 0;
  const bool composite = (flags & kCompositeCheck) != 0;
  if (capacity == 0) {
    bool hasMark = false;
    const int64_t size = ScanGbk(table, source, n, hasMark);
    if (!composite || !hasMark) return Answer(size, 0);
    const std::u16string composed = Compose(table, source, n);
    return Answer(ScanGbk(table, composed.data(), static_cast<int64_t>(composed.size()), hasMark),
                  0);
  }
  int64_t written = EncodeGbk(table, source, n, out, capacity, composite);
  if (written == kFoundMark) {
    // Start again from the composed text, writing over what was written.
    // That first pass cannot have run out of room before it found the mark
    // when the room suffices for the composed text: it had converted only
    // the text before the stretch holding the first mark, and the composed
    // text's output is no shorter (the one character that can leave that
    // part, a base just before the stretch, joins a composite of at least
    // one byte).
    const std::u16string composed = Compose(table, source, n);
    written = EncodeGbk(table, composed.data(), static_cast<int64_t>(composed.size()), out,
                        capacity, false);
  }
  return Answer(written, capacity);
}

// FromGbk(): MultiByteToWide for code page 936.
int32_t FromGbk(const char* source, int64_t n, char16_t* out, int32_t capacity) noexcept {
  if (n > kMaxResult) return 0;
  Converter converter = OpenGbk();
  if (!converter) return 0;
  UErrorCode error = U_ZERO_ERROR;
  if (capacity == 0) {
    const int32_t units = ucnv_toUChars(converter.get(), nullptr, 0, source,
                                        static_cast<int32_t>(n), &error);
    return error == U_BUFFER_OVERFLOW_ERROR ? units : 0;
  }
  // ucnv_toUnicode, not ucnv_toUChars: nothing is written past the result.
  UChar* target = out;
  const char* from = source;
  ucnv_toUnicode(converter.get(), &target, out + capacity, &from, source + n, nullptr, true,
                 &error);
  return U_SUCCESS(error) ? Answer(target - out, capacity) : 0;
}

// ToUtf8(): WideToMultiByte for code page 65001, with ICU's UTF-8 converter,
// whose substitution for an unpaired surrogate is EF BF BD.
int32_t ToUtf8(const char16_t* source, int64_t n, char* out, int32_t capacity) noexcept {
  if (n > kMaxResult) return 0;
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open("UTF-8", &error));
  if (U_FAILURE(error)) return 0;
  if (capacity == 0) {
    const int32_t bytes = ucnv_fromUChars(converter.get(), nullptr, 0, source,
                                          static_cast<int32_t>(n), &error);
    return error == U_BUFFER_OVERFLOW_ERROR ? bytes : 0;
  }
  char* target = out;
  const UChar* from = source;
  ucnv_fromUnicode(converter.get(), &target, out + capacity, &from, source + n, nullptr, true,
                   &error);
  return U_SUCCESS(error) ? Answer(target - out, capacity) : 0;
}

}  // namespace

int32_t MultiByteToWide(uint32_t codePage, uint32_t /*flags*/, const char* source,
                        int32_t sourceLength, char16_t* out, int32_t capacity) noexcept {
  if (source == nullptr || capacity < 0 || (capacity > 0 && out == nullptr)) return 0;
  const int64_t n = SourceBytes(source, sourceLength);
  if (n <= 0) return 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(source);
  switch (codePage) {
    case kCodePageUtf8:
      return Answer(capacity == 0 ? DecodeUtf8<false>(bytes, n, nullptr, 0)
                                  : DecodeUtf8<true>(bytes, n, out, capacity),
                    capacity);
    case kCodePageGbk:
      return FromGbk(source, n, out, capacity);
    default:
      return 0;
  }
}

int32_t WideToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* source,
                        int32_t sourceLength, char* out, int32_t capacity) noexcept {
  if (source == nullptr || capacity < 0 || (capacity > 0 && out == nullptr)) return 0;
  const int64_t n = SourceUnits(source, sourceLength);
  if (n <= 0) return 0;
  switch (codePage) {
    case kCodePageUtf8:
      // Windows accepts no conversion flags for UTF-8.
      return flags == 0 ? ToUtf8(source, n, out, capacity) : 0;
    case kCodePageGbk:
      return ToGbk(flags, source, n, out, capacity);
    default:
      return 0;
  }
}

}  // namespace brelk::platform
