// The text layer: the three kinds of value every routine of the library works
// on, and the small operations that all other code is written in.
//
//   Text        GBK bytes (code page 936). Never holds a zero byte; the empty
//               text and a "null" text are the same value.
//   ByteString  counted raw bytes, zero bytes allowed: HTTP bodies, Base64
//               output, UTF-8, and UTF-16 as little-endian 16-bit units.
//   TextList    an ordered list of Text copies, read at positions 1..count.
//
// It also holds marker extraction (TextBetween, ExtractMiddle), character-set
// conversion between GBK, UTF-16 and UTF-8, percent-encoding and Base64
// decoding.
//
// Conventions shared by everything here:
//   - Positions are 1-based byte positions; lengths count bytes; integers are
//     32-bit signed. A search that finds nothing answers -1.
//   - A position or count outside a value never fails: the answer is the empty
//     value, a cut slice or -1.
//   - Scanning routines walk GBK characters: a byte 80..FF is a lead byte and
//     takes the byte after it as its trail, whatever that byte is, so a match
//     can only begin at a character boundary counted from where the scan
//     started. A lead byte that is the last byte of a text is "dangling"; a
//     scan ends on it. Slicing routines cut by bytes and may split a
//     character.
//   - Blanks are the ASCII space (20) and the full-width space A1 A1, the
//     latter only where it stands as a whole character.
//   - Case folding touches only the ASCII letters A..Z.
//   - Arguments are never changed; every result is a new value owned by the
//     caller. Exhausted memory terminates the process (the routines are
//     noexcept); nothing else escapes a routine.
#ifndef BRELK_TEXT_TEXT_H_
#define BRELK_TEXT_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brelk {

// Text: GBK bytes without a zero byte. Constructing one from bytes keeps the
// bytes up to the first zero byte, so the invariant cannot be broken.
class Text {
 public:
  Text() = default;
  // Text(zeroTerminated): a null pointer is the empty text.
  Text(const char* zeroTerminated);  // NOLINT: literals are texts
  // Text(bytes): the bytes up to, not including, the first zero byte.
  explicit Text(std::string_view bytes);
  explicit Text(std::string&& bytes);

  std::string_view view() const noexcept { return bytes_; }
  // c_str(): the bytes followed by their terminating zero.
  const char* c_str() const noexcept { return bytes_.c_str(); }
  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return bytes_.empty(); }

  friend bool operator==(const Text& a, const Text& b) noexcept {
    return a.bytes_ == b.bytes_;
  }

 private:
  std::string bytes_;
};

// ByteString: counted bytes that may hold zero bytes.
class ByteString {
 public:
  ByteString() = default;
  // ByteString(zeroTerminated): the bytes before the zero; null is empty.
  explicit ByteString(const char* zeroTerminated)
      : bytes_(zeroTerminated ? zeroTerminated : "") {}
  explicit ByteString(std::string_view bytes) : bytes_(bytes) {}
  explicit ByteString(std::string&& bytes) noexcept : bytes_(std::move(bytes)) {}

  std::string_view view() const noexcept { return bytes_; }
  const char* data() const noexcept { return bytes_.data(); }
  char* data() noexcept { return bytes_.data(); }
  // release(): hands the bytes over; the byte string is left empty.
  std::string release() && noexcept { return std::move(bytes_); }
  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return bytes_.empty(); }

  friend bool operator==(const ByteString& a, const ByteString& b) noexcept {
    return a.bytes_ == b.bytes_;
  }

 private:
  std::string bytes_;
};

// TextList: copies of texts at positions 1..ListCount(list).
struct TextList {
  std::vector<Text> items;
};

// ---------------------------------------------------------------------------
// Text primitives

// TextLength(): the number of bytes. TextLength("\xD6\xD0") == 2
int32_t TextLength(const Text& t) noexcept;

// TextLeft(): the first min(n, length) bytes; empty when n <= 0.
//   TextLeft("abc", 10) == "abc"
Text TextLeft(const Text& t, int32_t n) noexcept;

// TextRight(): the last min(n, length) bytes; empty when n <= 0.
//   TextRight("abc", 2) == "bc"
Text TextRight(const Text& t, int32_t n) noexcept;

// TextMid(): at most n bytes from position p on. Empty when p < 1 (a position
// below 1 is not moved to 1), when p > length or when n <= 0.
//   TextMid("abcdef", 5, 10) == "ef"
Text TextMid(const Text& t, int32_t p, int32_t n) noexcept;

// FindText(): the 1-based position of the first occurrence of s that begins
// at a character boundary counted from the start position, or -1. A start
// position of 1 or less scans from the beginning; one past the length
// searches nothing. With ignoreCase only A..Z are folded (trail bytes too).
// An empty s is found at the scan's first point.
//   FindText("abcabc", "c", 4) == 6
//   FindText("\xB0\xA1\xB0\xA1", "\xA1\xB0") == -1
int32_t FindText(const Text& t, const Text& s, int32_t start = 1,
                 bool ignoreCase = false) noexcept;

// TrimBoth(): without leading and trailing blanks. A dangling lead byte is
// kept as a character of its own (it is never a blank).
//   TrimBoth("\xA1\xA1 a b\xA1\xA1 ") == "a b"
Text TrimBoth(const Text& t) noexcept;

// RemoveSpaces(): every blank left out, blanks counted at character
// boundaries only. A dangling lead byte is kept.
//   RemoveSpaces("\xB0\xA1\xA1 ") == "\xB0\xA1\xA1 "   (B0 A1, then A1 20)
Text RemoveSpaces(const Text& t) noexcept;

// ReplaceText(): every occurrence of old, left to right, not overlapping,
// replaced by new; what was put in is not scanned again. An empty t or old
// gives a copy of t. Occurrences begin at character boundaries.
//   ReplaceText("%2525", "%25", "%") == "%25"
Text ReplaceText(const Text& t, const Text& old, const Text& replacement) noexcept;

// SplitText(): the pieces between separators. Empty t: the empty list; empty
// separator: one element, t. A leading separator gives an empty first
// element, adjacent ones an empty element between, a trailing one nothing.
//   SplitText("a;;b;", ";") == {"a", "", "b"}
TextList SplitText(const Text& t, const Text& separator) noexcept;

// SplitViews(): SplitText's pieces as views into t, without a copy of
// each; they stay valid while t lives unchanged.
std::vector<std::string_view> SplitViews(const Text& t, const Text& separator) noexcept;

// ListCount(), ListItem(): a list's count, and its element at 1..count. A
// position outside that range gives the empty text.
int32_t ListCount(const TextList& list) noexcept;
const Text& ListItem(const TextList& list, int32_t position) noexcept;

// AppendText(): adds a copy of t as the new last element.
void AppendText(TextList& list, const Text& t) noexcept;

// ConcatText(): the bytes of its arguments one after the other.
//   ConcatText({"", "x", ""}) == "x"
Text ConcatText(std::initializer_list<std::string_view> parts) noexcept;
inline std::string_view TextView(const Text& t) noexcept { return t.view(); }
inline std::string_view TextView(const char* s) noexcept {
  return s ? std::string_view(s) : std::string_view();
}
template <typename... Texts>
Text ConcatText(const Text& first, const Texts&... rest) noexcept {
  return ConcatText({first.view(), TextView(rest)...});
}

// CompareText(): -1, 0 or 1, bytes compared as unsigned values; a proper
// prefix orders first. CompareText("a", "B") == 1
int32_t CompareText(const Text& a, const Text& b) noexcept;

// CharFromCode(): a one-byte text of the low 8 bits of c; empty when those
// are 0. CharFromCode(65) == "A"
Text CharFromCode(int32_t c) noexcept;

// HexText(): upper-case hex digits of n as an unsigned 32-bit value, no
// leading zeros. HexText(-1) == "FFFFFFFF"
Text HexText(int32_t n) noexcept;

// ---------------------------------------------------------------------------
// Byte-string primitives

// TextToBytes(): the text's bytes without the terminator.
ByteString TextToBytes(const Text& t) noexcept;

// BytesToText(): the bytes up to the first zero byte (all when none).
//   BytesToText("ab\0c") == "ab"
Text BytesToText(const ByteString& b) noexcept;
// The same for a byte string the caller gives up: without a zero byte in
// it, its buffer becomes the text's and nothing is copied.
Text BytesToText(ByteString&& b) noexcept;

// BytesLength(): the number of bytes.
int32_t BytesLength(const ByteString& b) noexcept;

// BytesLeft(), BytesRight(): the first/last k bytes, k = n cut to 0..length.
ByteString BytesLeft(const ByteString& b, int32_t n) noexcept;
ByteString BytesRight(const ByteString& b, int32_t n) noexcept;

// FindBytes(): 1-based position of the first occurrence of pattern at any
// byte, or -1. An empty pattern is found at 1.
//   FindBytes("\0a\0a", "\0a") == 1
int32_t FindBytes(const ByteString& data, const ByteString& pattern) noexcept;

// BlankBytes(): n zero bytes; empty when n <= 0.
ByteString BlankBytes(int32_t n) noexcept;

// CompareBytes(): the first n bytes of a and b, unsigned; -1, 0 or 1. Bytes
// past the end of a shorter value compare as absent: the shorter orders
// first. n <= 0 gives 0.
int32_t CompareBytes(const ByteString& a, const ByteString& b, int32_t n) noexcept;

// ToInteger(): a byte's unsigned value, 0..255.
int32_t ToInteger(unsigned char b) noexcept;

// ShiftLeft(), ShiftRight(): 32-bit shifts by k modulo 32; ShiftRight is
// arithmetic. ShiftRight(-8, 1) == -4, ShiftLeft(1, 33) == 2
int32_t ShiftLeft(int32_t x, int32_t k) noexcept;
int32_t ShiftRight(int32_t x, int32_t k) noexcept;

// ---------------------------------------------------------------------------
// Marker extraction

// TextBetween(): the bytes after the first left marker up to the next right
// marker, both compared exactly; empty when either is missing.
//   TextBetween("x[1]y[2]", "[", "]") == "1"
Text TextBetween(const Text& text, const Text& left, const Text& right) noexcept;

// TextBetweenEach(): TextBetween(text, left, right) for each pair of
// markers, in the order of the pairs. The left markers are looked for
// together, so a page of many megabytes is read once, not once per pair.
//   TextBetweenEach("x[1]y(2)", {{"[", "]"}, {"(", ")"}}) == {"1", "2"}
struct MarkerPair {
  Text left, right;
};
TextList TextBetweenEach(const Text& text, const std::vector<MarkerPair>& pairs) noexcept;

// ExtractMiddle(): like TextBetween, but the left marker is searched from
// start (1 or less: the beginning), the case of A..Z is ignored unless
// caseSensitive, and "#\xD2\xFD\xBA\xC5" in a marker stands for a double
// quote. ExtractMiddle("set-cookie: a=1;", "Set-Cookie:", ";") == " a=1"
Text ExtractMiddle(const Text& text, const Text& left, const Text& right,
                   int32_t start = 0, bool caseSensitive = false) noexcept;

// ---------------------------------------------------------------------------
// Character sets. UTF-16 travels in a ByteString as little-endian units.

// Utf8ToWide(): UTF-16 of every input byte (a zero byte becomes a zero
// unit); nothing added. Malformed sequences become U+FFFD.
ByteString Utf8ToWide(const ByteString& utf8) noexcept;

// Utf8ToGbk(): the GBK bytes of the UTF-8 input, nothing added. Characters GBK
// cannot hold become "?". Utf8ToGbk("\xE4\xB8\xAD") == "\xD6\xD0"
ByteString Utf8ToGbk(const ByteString& utf8) noexcept;

// GbkToWide(): UTF-16 of the text followed by one zero unit; the empty text
// gives the empty byte string.
ByteString GbkToWide(const Text& gbk) noexcept;

// WideToUtf8(): UTF-8 of every input unit; ends in a zero byte only when the
// input ends in a zero unit.
ByteString WideToUtf8(const ByteString& utf16) noexcept;

// GbkToUtf8(): UTF-8 of the text followed by one zero byte; the empty text
// gives the empty byte string. GbkToUtf8("\xD6\xD0") == "\xE4\xB8\xAD\0"
ByteString GbkToUtf8(const Text& gbk) noexcept;

// ---------------------------------------------------------------------------
// Percent-encoding: only 0-9, A-Z and a-z pass; every other byte becomes "%"
// and two upper-case hex digits (a space is %20, never "+").

// UrlEncode(): of the text's GBK bytes. UrlEncode("a.b") == "a%2Eb"
Text UrlEncode(const Text& t) noexcept;

// UrlEncodeUtf8(): of the text's UTF-8 bytes.
//   UrlEncodeUtf8("\xD6\xD0") == "%E4%B8%AD"
Text UrlEncodeUtf8(const Text& t) noexcept;

// ---------------------------------------------------------------------------
// Base64

// Base64Decode(): decodes by fixed rules that accept any input. For
// well-formed padded input this is RFC 4648; see base64.cpp for what other
// input becomes. Base64Decode("QUJD") == "ABC"
ByteString Base64Decode(const ByteString& encoded) noexcept;

}  // namespace brelk

#endif  // BRELK_TEXT_TEXT_H_
