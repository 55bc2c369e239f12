// Fuzz target: character-set conversion and percent-encoding.
//
// Input: any bytes. They serve as UTF-8 and as UTF-16 (zero bytes included),
// as a GBK text (with the zero bytes left out), and, with the top bit of
// every byte cleared, as ASCII. Checked:
//   - ASCII goes through every conversion unchanged, widened to UTF-16 and
//     back;
//   - GBK to UTF-16 and UTF-8 ends with exactly one zero unit or byte (none
//     for the empty text), gives well-formed UTF-8 equal to the two steps it
//     is made of, and converts back to the same UTF-16;
//   - well-formed UTF-8 gives the UTF-16 a plain decoder gives, and comes back
//     unchanged; any UTF-8 or UTF-16 keeps its zero bytes or units one for
//     one, and UTF-16 gives well-formed UTF-8 that ends in a zero byte only
//     when the input ends in a zero unit;
//   - GBK that came out of Unicode once goes round again unchanged, and
//     well-formed GBK goes round unchanged from the start;
//   - at the platform layer, for each code page and direction: the measuring
//     call's size is what the converting call writes, into a buffer of
//     exactly that size or a larger one, and a buffer one short fails;
//   - UrlEncode is the plain encoding (only letters, digits and "%", three
//     bytes for every other byte), and UrlEncodeUtf8 is UrlEncode of the
//     UTF-8 bytes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "naive.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

using brelk::ByteString;
using brelk::Text;

std::string Widen(std::string_view ascii) {
  std::string out;
  for (char c : ascii) out += {c, '\0'};
  return out;
}

std::size_t ZeroUnits(std::string_view utf16) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) n += utf16[i] == 0 && utf16[i + 1] == 0;
  return n;
}

bool WellFormedUtf8(std::string_view utf8) {
  std::string ignored;
  return naive::Utf8ToUtf16(utf8, ignored);
}

std::string WithoutLastByte(std::string_view b) {
  return std::string(b.substr(0, b.empty() ? 0 : b.size() - 1));
}

// WellFormedGbk(): t without the lead bytes that have no valid trail byte
// after them (81-FE take 40-7E or 80-FE; 80 and FF stand alone).
std::string WellFormedGbk(std::string_view t) {
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const unsigned b = static_cast<unsigned char>(t[i]);
    if (b < 0x81 || b == 0xFF) {
      out.push_back(t[i]);
      continue;
    }
    if (i + 1 == t.size()) break;
    const unsigned trail = static_cast<unsigned char>(t[i + 1]);
    if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE)) {
      out.append(t.substr(i, 2));
      ++i;
    }
  }
  return out;
}

// CheckMeasure(): convert(capacity, out) is one platform conversion of a
// fixed source; the measured size must be what is written, and the
// conversion must fail for a buffer one short.
template <typename Unit, typename Convert>
void CheckMeasure(Convert convert) {
  const int32_t size = convert(0, nullptr);
  CHECK(size >= 0);
  if (size == 0) return;
  std::vector<Unit> exact(static_cast<std::size_t>(size)), roomy(exact.size() + 9);
  CHECK(convert(size, exact.data()) == size);
  CHECK(convert(size + 9, roomy.data()) == size);
  CHECK(std::equal(exact.begin(), exact.end(), roomy.begin()));
  std::vector<Unit> shorter(exact.size() - 1 + 1);  // never an empty buffer
  CHECK(size == 1 || convert(size - 1, shorter.data()) == 0);
}

void CheckPlatform(std::string_view raw) {
  namespace p = brelk::platform;
  const char* bytes = raw.data();
  const auto length = static_cast<int32_t>(raw.size());
  std::u16string units(raw.size() / 2, u'\0');
  std::memcpy(units.data(), raw.data(), units.size() * 2);
  const auto unitCount = static_cast<int32_t>(units.size());
  if (length == 0) return;
  for (uint32_t page : {p::kCodePageUtf8, p::kCodePageGbk}) {
    CheckMeasure<char16_t>([&](int32_t capacity, char16_t* out) {
      return p::MultiByteToWide(page, 0, bytes, length, out, capacity);
    });
  }
  if (unitCount == 0) return;
  for (uint32_t flags : {0u, p::kCompositeCheck}) {
    CheckMeasure<char>([&](int32_t capacity, char* out) {
      return p::WideToMultiByte(p::kCodePageGbk, flags, units.data(), unitCount, out, capacity);
    });
  }
  CheckMeasure<char>([&](int32_t capacity, char* out) {
    return p::WideToMultiByte(p::kCodePageUtf8, 0, units.data(), unitCount, out, capacity);
  });
}

void CheckAscii(std::string_view raw) {
  std::string ascii(raw);
  for (char& c : ascii) c = static_cast<char>(c & 0x7F);
  const ByteString bytes(ascii);
  CHECK(brelk::Utf8ToWide(bytes).view() == Widen(ascii));
  CHECK(brelk::Utf8ToGbk(bytes).view() == ascii);
  CHECK(brelk::WideToUtf8(ByteString(Widen(ascii))).view() == ascii);

  const Text text(ascii);  // up to the first zero byte
  const std::string_view t = text.view();
  CHECK(brelk::GbkToWide(text).view() == (t.empty() ? std::string() : Widen(t) + '\0' + '\0'));
  CHECK(brelk::GbkToUtf8(text).view() == (t.empty() ? std::string() : std::string(t) + '\0'));
  CHECK(brelk::UrlEncodeUtf8(text) == brelk::UrlEncode(text));
}

void CheckGbk(const Text& text) {
  const ByteString wide = brelk::GbkToWide(text);
  const ByteString utf8 = brelk::GbkToUtf8(text);
  if (text.empty()) {
    CHECK(wide.empty() && utf8.empty());
    return;
  }
  CHECK(wide.size() % 2 == 0 && wide.size() >= 2);
  CHECK(ZeroUnits(wide.view()) == 1 && wide.view().ends_with(std::string_view("\0\0", 2)));
  CHECK(std::count(utf8.view().begin(), utf8.view().end(), '\0') == 1 && utf8.view().back() == '\0');
  CHECK(utf8 == brelk::WideToUtf8(wide));
  CHECK(WellFormedUtf8(utf8.view()));
  CHECK(brelk::Utf8ToWide(utf8) == wide);

  // Unicode to GBK and back is not the identity on malformed GBK or on what
  // GBK cannot hold, but once through, the text is stable.
  const ByteString gbk = brelk::Utf8ToGbk(ByteString(WithoutLastByte(utf8.view())));
  CHECK(gbk.view().find('\0') == std::string_view::npos);
  const ByteString again = brelk::GbkToUtf8(brelk::BytesToText(gbk));
  CHECK(brelk::Utf8ToGbk(ByteString(WithoutLastByte(again.view()))) == gbk);

  const std::string wellFormed = WellFormedGbk(text.view());
  const ByteString round = brelk::GbkToUtf8(Text(wellFormed));
  CHECK(brelk::Utf8ToGbk(ByteString(WithoutLastByte(round.view()))).view() == wellFormed);
}

void CheckUnicode(std::string_view raw) {
  const ByteString bytes(raw);
  const std::size_t zeros = static_cast<std::size_t>(std::count(raw.begin(), raw.end(), '\0'));

  const ByteString wide = brelk::Utf8ToWide(bytes);
  CHECK(wide.size() % 2 == 0);
  CHECK(ZeroUnits(wide.view()) == zeros);
  std::string want;
  if (naive::Utf8ToUtf16(raw, want)) {
    CHECK(wide.view() == want);
    CHECK(brelk::WideToUtf8(wide) == bytes);
  }
  const ByteString gbk = brelk::Utf8ToGbk(bytes);
  CHECK(static_cast<std::size_t>(std::count(gbk.view().begin(), gbk.view().end(), '\0')) == zeros);

  // The input as UTF-16: an odd last byte is no unit.
  const ByteString utf8 = brelk::WideToUtf8(bytes);
  const std::string_view units = raw.substr(0, raw.size() / 2 * 2);
  CHECK(WellFormedUtf8(utf8.view()));
  CHECK(static_cast<std::size_t>(std::count(utf8.view().begin(), utf8.view().end(), '\0')) ==
        ZeroUnits(units));
  const bool endsInZeroUnit = units.ends_with(std::string_view("\0\0", 2));
  CHECK((!utf8.empty() && utf8.view().back() == '\0') == endsInZeroUnit);
}

void CheckUrlEncode(const Text& text) {
  const Text encoded = brelk::UrlEncode(text);
  CHECK(encoded.view() == naive::UrlEncode(text.view()));
  auto passes = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  std::size_t length = 0;
  for (char c : text.view()) length += passes(c) ? 1 : 3;
  CHECK(encoded.size() == length);
  for (char c : encoded.view()) CHECK(c == '%' || passes(c));
  const Text utf8 = brelk::BytesToText(brelk::GbkToUtf8(text));
  CHECK(brelk::UrlEncodeUtf8(text).view() == naive::UrlEncode(utf8.view()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  std::string nonzero(raw);
  std::erase(nonzero, '\0');
  const Text text(nonzero);

  CheckAscii(raw);
  CheckGbk(text);
  CheckUnicode(raw);
  CheckPlatform(raw);
  CheckUrlEncode(text);
  return 0;
}
