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
//     Windows promises only that ill-formed input becomes U+FFFD; wine takes
//     a lead byte and the continuation bytes read before the fault as one
//     (two U+FFFD for E0 80 AF and ED A0 80, three for F4 90 80 80), the one
//     difference from wine that remains.
//   - UTF-16 to UTF-8 writes an unpaired surrogate as U+FFFD (EF BF BD).
//
// Code page 936, Windows' GBK: ICU's "windows-936" mapping, with ICU's
// fallbacks as Windows' best fit. Set against the genuine functions (under
// wine, by tests/platform/codepage_compare over every byte pair and every
// UTF-16 unit) this gives the same result everywhere.
//   - 00-7F are ASCII, 80 is the euro sign U+20AC, FF is U+F8F5; every lead
//     byte 81-FE with a trail byte 40-7E or 80-FE is a character.
//   - The user-defined areas map both ways to the Private Use Area, as on
//     Windows: AAA1-AFFE to U+E000-E233, F8A1-FEFE to U+E234-E4C5 and
//     A140-A7A0 to U+E4C6-E765; the remaining unassigned cells of the grid
//     (A2AB, A6D9, A8BC, FE50 ...) continue at U+E766-E864.
//   - Malformed GBK gives "?" (U+003F, the code page's default character),
//     as Windows' two-byte look-up does: a lead byte takes the byte after it
//     whatever that is, so a lead byte before 01-3F, 7F or FF is one "?" for
//     the two bytes (81 41 is a character, 81 30 one "?"). A lead byte before
//     a zero byte, or at the end, is "?" alone; the zero byte, the
//     terminator of a text, survives.
//   - Best fit, as WideCharToMultiByte does it without WC_NO_BEST_FIT_CHARS:
//     a character GBK lacks but ICU's mapping has a fallback for becomes that
//     look-alike (U+00C0 A8 A4, the letter a with grave; U+00AD "-"; U+3280
//     and most CJK compatibility ideographs U+F900-FA2D their unified
//     ideograph). ICU's fallbacks of the half-width arrows U+FFE9-FFEC and of
//     U+FFEE to control codes (18-1B, a tab) are left out: Windows gives "?".
//   - Any other character GBK cannot hold becomes "?" for each of its UTF-16
//     units: a supplementary character (U+20000, U+1F600) is "??", as on
//     Windows, whose tables go unit by unit; an unpaired surrogate is "?".
//     That includes the default-ignorable characters (U+FEFF, U+200D ...),
//     which ICU's stock substitution would drop without a trace.
//   - WC_COMPOSITECHECK (UTF-16 to 936): a character followed by a
//     non-spacing mark (general category Mn) is replaced by the precomposed
//     character of the two where Unicode has one and GBK holds it, exactly
//     or by a best fit (e + U+0301 is U+00E9, A8 A6; A + U+0300 is U+00C0,
//     whose best fit is A8 A4). Otherwise the two are converted one after
//     the other (WC_SEPCHARS, the default): q + U+0301 is "q?", and so is
//     a + U+030A, whose U+00E5 GBK lacks. The composite takes no further
//     mark: u + U+0308 + U+0304 is U+00FC and "?" (A8 B9 3F).
//
// Speed: text from UTF-8 to GBK passes through four calls (measure and
// convert to UTF-16, measure and convert to GBK), so each must cost a
// fraction of one ICU conversion. UTF-8 is decoded here, with the same code
// for measuring and converting: ASCII and the common three-byte sequences
// inline, everything else through ICU's U8_NEXT. GBK is decoded here too,
// from a table of every byte pair read from ICU once. For UTF-16 to GBK, the
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

#include <algorithm>
#include <array>
#include <bitset>
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

// A character GBK lacks but ICU's windows-936 mapping has a best fit for:
// the code point and the one or two bytes it becomes.
struct BestFit {
  char16_t unit;
  uint8_t size;
  char bytes[2];
};

// What code page 936 does with each code point and byte, read from ICU once.
struct GbkTable {
  bool ready = false;
  // True when no supplementary code point maps, so each one is two "?".
  bool supplementaryUnmapped = false;
  // Per BMP code unit: the number of bytes written for it (kLengthBits),
  // kSurrogateBit for a surrogate, kMarkBit for a non-spacing mark.
  std::array<uint8_t, 0x10000> entry{};
  // Per BMP code point: whether GBK holds it, exactly or by a best fit.
  std::bitset<0x10000> mapped;
  // The best fits, by code point.
  std::vector<BestFit> bestFits;
  // GBK to UTF-16: the character of each single byte (0: none, for the lead
  // bytes 81-FE), and of each lead byte 81-FE and trail byte (0: malformed).
  std::array<char16_t, 0x100> single{};
  std::array<char16_t, 126 * 0x100> pair{};
};

constexpr uint8_t kLengthBits = 0x3F;
constexpr uint8_t kSurrogateBit = 0x40;
constexpr uint8_t kMarkBit = 0x80;

// SubstituteForGbk(): the from-Unicode callback for code page 936, with the
// table as its context: a character that has a best fit becomes its bytes;
// any other character the converter cannot map becomes "?" for each of its
// UTF-16 units, default-ignorable ones included, and so does an unpaired
// surrogate.
void SubstituteForGbk(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                      int32_t length, UChar32 c, UConverterCallbackReason reason,
                      UErrorCode* error) noexcept {
  if (reason > UCNV_IRREGULAR) return;  // reset, close or clone: nothing to write
  *error = U_ZERO_ERROR;
  const auto* table = static_cast<const GbkTable*>(context);
  if (reason == UCNV_UNASSIGNED && c <= 0xFFFF) {
    const auto fit = std::lower_bound(
        table->bestFits.begin(), table->bestFits.end(), c,
        [](const BestFit& f, UChar32 u) { return f.unit < u; });
    if (fit != table->bestFits.end() && fit->unit == c) {
      ucnv_cbFromUWriteBytes(args, fit->bytes, fit->size, 0, error);
      return;
    }
  }
  ucnv_cbFromUWriteBytes(args, "??", length == 2 ? 2 : 1, 0, error);
}

// OpenGbk(): a fresh windows-936 converter that substitutes as
// SubstituteForGbk() says from table, or null when ICU cannot provide one.
Converter OpenGbk(const GbkTable& table) noexcept {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open("windows-936", &error));
  if (U_FAILURE(error)) return nullptr;
  ucnv_setFromUCallBack(converter.get(), SubstituteForGbk, &table, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// ReadBestFits(): fills table.bestFits from ICU's fallback mappings of
// windows-936, leaving out those that turn a character into a control code
// (ICU maps the half-width arrows U+FFE9-FFEC to the bytes 18-1B, and
// U+FFEE to a tab). False when ICU fails.
bool ReadBestFits(GbkTable& table) noexcept {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open("windows-936", &error));
  if (U_FAILURE(error)) return false;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &error);
  ucnv_setFallback(converter.get(), true);
  USet* exact = uset_openEmpty();
  USet* fits = uset_openEmpty();
  ucnv_getUnicodeSet(converter.get(), exact, UCNV_ROUNDTRIP_SET, &error);
  ucnv_getUnicodeSet(converter.get(), fits, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &error);
  uset_removeAll(fits, exact);
  for (UChar32 c = 0; c <= 0xFFFF && U_SUCCESS(error); ++c) {
    if (!uset_contains(fits, c) || U16_IS_SURROGATE(c)) continue;
    const UChar unit = static_cast<UChar>(c);
    char bytes[4];
    const int32_t n = ucnv_fromUChars(converter.get(), bytes, sizeof bytes, &unit, 1, &error);
    if (U_FAILURE(error) || n < 1 || n > 2) break;
    const auto first = static_cast<uint8_t>(bytes[0]);
    if (n == 1 && (first < 0x20 || first == 0x7F)) continue;
    table.bestFits.push_back({unit, static_cast<uint8_t>(n), {bytes[0], n == 2 ? bytes[1] : '\0'}});
  }
  uset_close(fits);
  uset_close(exact);
  return U_SUCCESS(error);
}

// ReadGbkToUnicode(): fills table.single and table.pair from ICU's
// windows-936 mapping, one byte or one lead and trail byte at a time. A
// sequence that does not give exactly one BMP character counts as none.
bool ReadGbkToUnicode(GbkTable& table) noexcept {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open("windows-936", &error));
  if (U_FAILURE(error)) return false;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                      &error);
  if (U_FAILURE(error)) return false;
  auto one = [&converter](const char* bytes, int32_t n) -> char16_t {
    UChar unit[2];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter.get());
    const int32_t units = ucnv_toUChars(converter.get(), unit, 2, bytes, n, &status);
    return U_SUCCESS(status) && units == 1 ? static_cast<char16_t>(unit[0]) : u'\0';
  };
  for (uint32_t b = 0; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    if (b < 0x81 || b == 0xFF) table.single[b] = b == 0 ? u'\0' : one(&byte, 1);
  }
  for (uint32_t lead = 0x81; lead <= 0xFE; ++lead) {
    for (uint32_t trail = 1; trail <= 0xFF; ++trail) {
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      table.pair[(lead - 0x81) * 0x100 + trail] = one(bytes, 2);
    }
  }
  return true;
}

// BuildGbkTable(): the table, read from ICU; not ready when ICU cannot
// provide the converter.
std::unique_ptr<GbkTable> BuildGbkTable() noexcept {
  auto table = std::make_unique<GbkTable>();
  if (!ReadBestFits(*table) || !ReadGbkToUnicode(*table)) return table;
  Converter converter = OpenGbk(*table);
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
    if (at < 0 || ++table->entry[all[static_cast<std::size_t>(at)]] > kLengthBits) return table;
  }

  USet* exact = uset_openEmpty();
  USet* supplementary = uset_open(0x10000, 0x10FFFF);
  ucnv_getUnicodeSet(converter.get(), exact, UCNV_ROUNDTRIP_SET, &error);
  for (uint32_t u = 0; u < 0x10000; ++u) {
    if (U16_IS_SURROGATE(u)) table->entry[u] = kSurrogateBit | 1;
    if (u_charType(static_cast<UChar32>(u)) == U_NON_SPACING_MARK) table->entry[u] |= kMarkBit;
    table->mapped[u] = uset_contains(exact, static_cast<UChar32>(u));
  }
  for (const BestFit& fit : table->bestFits) table->mapped[fit.unit] = true;
  table->supplementaryUnmapped = U_SUCCESS(error) && uset_containsNone(exact, supplementary);
  uset_close(supplementary);
  uset_close(exact);
  table->ready = U_SUCCESS(error);
  return table;
}

// Gbk(): the table, built on first use (thread-safe) and never changed.
const GbkTable& Gbk() noexcept {
  static const std::unique_ptr<GbkTable> table = BuildGbkTable();
  return *table;
}

// SupplementaryBytes(): what the converter writes for code point c above
// U+FFFF: "??" while the mapping holds none of them, else asked of ICU.
int64_t SupplementaryBytes(const GbkTable& table, UChar32 c) noexcept {
  if (table.supplementaryUnmapped) return 2;
  Converter converter = OpenGbk(table);
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
      } else {
        bytes += 1;  // an unpaired surrogate: "?"
      }
    }
  }
  hasMark = mark;
  return bytes;
}

// Compose(): s[0..n) with each character that a non-spacing mark follows
// replaced by the precomposed character of the two where Unicode has one and
// GBK holds it (exactly or by a best fit); otherwise the two stay as they
// are. Pairs of BMP characters only: a composite takes no further mark (u +
// U+0308 + U+0304 is U+00FC and the lone U+0304).
std::u16string Compose(const GbkTable& table, const char16_t* s, int64_t n) noexcept {
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
  std::u16string out;
  out.reserve(static_cast<std::size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    if (U_SUCCESS(error) && i + 1 < n && (table.entry[s[i + 1]] & kMarkBit) != 0 &&
        !U16_IS_SURROGATE(s[i])) {
      const UChar32 composite = unorm2_composePair(nfc, s[i], s[i + 1]);
      if (composite >= 0 && composite <= 0xFFFF && table.mapped[static_cast<uint32_t>(composite)]) {
        out.push_back(static_cast<char16_t>(composite));
        ++i;
        continue;
      }
    }
    out.push_back(s[i]);
  }
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
  Converter converter = OpenGbk(table);
  if (!converter) return -1;
  const uint8_t* entry = table.entry.data();
  char* o = out;  // never address-taken, so it stays in a register
  char* const end = out + capacity;
  int64_t stretch = -1;  // start of the stretch not yet converted
  uint8_t seen = 0;      // table bits of the stretch's units
  auto convert = [&](int64_t to) {
    if (checkMarks && (seen & kMarkBit) != 0) return kFoundMark;
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

// DecodeGbk(): the UTF-16 form of the GBK bytes s[0..n), as DecodeUtf8()
// does it: without kStore it only counts, with kStore it writes to out and
// answers -1 when the units do not fit in capacity. A lead byte takes the
// byte after it, unless that is a zero byte or there is none; a pair that is
// no character of the grid, and a lead byte alone, give "?" (U+003F).
template <bool kStore>
int64_t DecodeGbk(const GbkTable& table, const uint8_t* s, int64_t n, char16_t* out,
                  int64_t capacity) noexcept {
  int64_t i = 0, k = 0;
  while (i < n) {
    const uint32_t b = s[i];
    char16_t unit;
    if (b < 0x80) {
      unit = static_cast<char16_t>(b);
      ++i;
    } else if (b == 0x80 || b == 0xFF) {
      unit = table.single[b] != 0 ? table.single[b] : u'?';
      ++i;
    } else if (i + 1 < n && s[i + 1] != 0) {
      const char16_t c = table.pair[(b - 0x81) * 0x100 + s[i + 1]];
      unit = c != 0 ? c : u'?';
      i += 2;
    } else {
      unit = u'?';
      ++i;
    }
    if constexpr (kStore) {
      if (k == capacity) return -1;
      out[k] = unit;
    }
    ++k;
  }
  return k;
}

// FromGbk(): MultiByteToWide for code page 936.
int32_t FromGbk(const uint8_t* source, int64_t n, char16_t* out, int32_t capacity) noexcept {
  const GbkTable& table = Gbk();
  if (!table.ready) return 0;
  return Answer(capacity == 0 ? DecodeGbk<false>(table, source, n, nullptr, 0)
                              : DecodeGbk<true>(table, source, n, out, capacity),
                capacity);
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
      return FromGbk(bytes, n, out, capacity);
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
