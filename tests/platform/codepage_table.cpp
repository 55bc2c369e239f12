// codepage_table: prints what the platform layer's code-page conversions
// give, one line per input, for the Linux and the Windows build alike, so
// that the two can be set side by side (codepage_compare does).
//
// A line is "<direction> <input> <output>", all in hex so that it passes a
// pipe from wine unchanged:
//   g>w   GBK bytes to UTF-16 (code page 936, flags 0)
//   w>g   UTF-16 to GBK with WC_COMPOSITECHECK (the library's flags)
//   w>g0  UTF-16 to GBK with flags 0
//   w>u   UTF-16 to UTF-8 (code page 65001, flags 0)
//   u>w   UTF-8 to UTF-16 (code page 65001, flags 0)
// Bytes are written as two hex digits each, run together; UTF-16 units as
// four hex digits each, joined by ".". An output of "-" means the measuring
// call answered 0; "!n" after an output means the converting call answered n
// rather than the measure.
//
// The inputs: every single byte and every two-byte sequence with a lead
// byte 81-FE (trail 00-FF) to UTF-16; every UTF-16 unit 0000-FFFF on its own
// to GBK and to UTF-8; and a few longer inputs where a sequence matters
// (surrogate pairs, marks after a letter, broken UTF-8).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using brelk::platform::kCodePageGbk;
using brelk::platform::kCodePageUtf8;
using brelk::platform::kCompositeCheck;

// Hex(): bytes as two hex digits each.
std::string Hex(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

// Hex(): UTF-16 units as four hex digits each, joined by ".".
std::string Hex(const std::u16string& units) {
  std::string out;
  char digits[5];
  for (char16_t u : units) {
    if (!out.empty()) out += '.';
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(u));
    out += digits;
  }
  return out;
}

// Line(): writes one line. The output starts as "-" when the measure was 0,
// and gets "!n" when the converting call answered n instead of the measure.
void Line(const char* direction, const std::string& input, int32_t measure, int32_t answer,
          const std::string& output) {
  std::string line = std::string(direction) + ' ' + input + ' ';
  line += measure == 0 ? "-" : output;
  if (measure != 0 && answer != measure) line += '!' + std::to_string(answer);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

// ToWide(): the library's two calls, measure then convert, from codePage.
void ToWide(const char* direction, uint32_t codePage, const std::string& in) {
  const auto size = static_cast<int32_t>(in.size());
  const int32_t n = brelk::platform::MultiByteToWide(codePage, 0, in.data(), size, nullptr, 0);
  std::u16string out(n > 0 ? static_cast<std::size_t>(n) : 0, u'\0');
  const int32_t answer =
      n > 0 ? brelk::platform::MultiByteToWide(codePage, 0, in.data(), size, out.data(), n) : 0;
  Line(direction, Hex(in), n, answer, Hex(out));
}

// FromWide(): the same, to codePage with flags.
void FromWide(const char* direction, uint32_t codePage, uint32_t flags, const std::u16string& in) {
  const auto size = static_cast<int32_t>(in.size());
  const int32_t n =
      brelk::platform::WideToMultiByte(codePage, flags, in.data(), size, nullptr, 0);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  const int32_t answer =
      n > 0 ? brelk::platform::WideToMultiByte(codePage, flags, in.data(), size, out.data(), n)
            : 0;
  Line(direction, Hex(in), n, answer, Hex(out));
}

}  // namespace

int main() {
  std::vector<char> buffer(1 << 20);
  std::setvbuf(stdout, buffer.data(), _IOFBF, buffer.size());

  for (int b = 0; b <= 0xFF; ++b) ToWide("g>w", kCodePageGbk, std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0; trail <= 0xFF; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      ToWide("g>w", kCodePageGbk, std::string(pair, 2));
    }
  }
  for (uint32_t u = 0; u <= 0xFFFF; ++u) {
    FromWide("w>g", kCodePageGbk, kCompositeCheck, std::u16string(1, static_cast<char16_t>(u)));
  }
  for (uint32_t u = 0; u <= 0xFFFF; ++u) {
    FromWide("w>u", kCodePageUtf8, 0, std::u16string(1, static_cast<char16_t>(u)));
  }

  // Sequences of units: supplementary characters (U+20000 is a CJK
  // ideograph outside GBK, U+1F600 an emoji), surrogates out of order or
  // alone between letters, a letter with one or two marks, a mark with no
  // letter before it.
  const std::u16string wide[] = {
      u"\U00020000", u"\U0001F600", u"a\U0001F600b", u"\xD800\xD800",
      u"\xDC00\xD800", u"a\xD800" u"b", u"a\xDC00" u"b",
      u"e\u0301", u"a\u030A", u"q\u0301", u"u\u0308\u0304", u"e\u0301\u0301",
      u"\u0301", u"A\u0300", u"\u4E2D\u0301", u"e\u20DD",
  };
  for (const std::u16string& in : wide) FromWide("w>g", kCodePageGbk, kCompositeCheck, in);
  for (const std::u16string& in : wide) FromWide("w>g0", kCodePageGbk, 0, in);
  for (const std::u16string& in : wide) FromWide("w>u", kCodePageUtf8, 0, in);

  // Broken UTF-8: overlong forms, an encoded surrogate, sequences cut short
  // (alone, before a letter, at the end), stray continuation and lead
  // bytes, a code point past U+10FFFF.
  const std::string utf8[] = {
      "\xC0\xAF", "\xE0\x80\xAF", "\xC1\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
      "\xE4\xB8", "\xE4\xB8" "A", "A\xE4\xB8", "\xF0\x9F\x98", "\xF0\x9F\x98" "A",
      "\x80", "\xBF\xBF", "\xFE", "\xFF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xF8\x88\x80\x80\x80", "\xC2", "\xC2" "A", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
      "\xEF\xBB\xBF" "A",
  };
  for (const std::string& in : utf8) ToWide("u>w", kCodePageUtf8, in);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
