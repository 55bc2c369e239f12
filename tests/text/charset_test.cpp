#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/printers.h"
#include "platform/platform.h"
#include "text/text.h"

namespace brelk {
namespace {

using namespace std::string_literals;

struct Case {
  std::string input;
  std::string want;
  const char* rule;
};

// ByPlatform(): the expected value where the platform's converter decides
// and the two differ: how many U+FFFD stand for ill-formed UTF-8. On
// Windows that is the system's MultiByteToWideChar (these values are those
// of Wine's); elsewhere the code-page layer's own rule.
std::string ByPlatform(std::string windows, std::string elsewhere) {
#if defined(_WIN32)
  (void)elsewhere;
  return windows;
#else
  (void)windows;
  return elsewhere;
#endif
}

TEST(Utf8ToGbk, ConvertsCharactersAndReplacesWhatGbkCannotHold) {
  const Case cases[] = {
      {"\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4", "two characters"},
      {"", "", "empty input"},
      {"a\0b"s, "a\0b"s, "a zero byte is converted, and what follows it too"},
      {"\0"s, "\0"s, "a lone zero byte"},
      {"\xE2\x82\xAC", "\x80", "the euro sign is the single byte 80"},
      {"\xEF\xA3\xB5", "\xFF", "U+F8F5 is the single byte FF"},
      {"\xEE\x80\x80\xEE\x9D\xA5", "\xAA\xA1\xA7\xA0", "user-defined areas: U+E000 and U+E765"},
      {"\xEF\xBF\xA5\xE2\x80\xA6", "\xA3\xA4\xA1\xAD", "full-width yen, ellipsis"},
      {"\xEA\xB0\x80", "?", "a BMP character GBK lacks"},
      {"x\xF0\x9F\x98\x80y", "x??y", "a supplementary character: one \"?\" per UTF-16 unit"},
      {"\xC3\x80", "\xA8\xA4", "best fit: U+00C0 becomes the look-alike U+00E0"},
      {"\xEF\xBB\xBF" "a\xC2\xAD" "b", "?a-b",
       "default-ignorable characters are replaced, not dropped (U+00AD by its best fit)"},
      {"\xEF\xBF\xBD", "?", "U+FFFD itself"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(ByteString(c.input)).view(), c.want) << c.rule;
  }
}

TEST(Utf8ToGbk, ReplacesEachMaximalIllFormedSubsequenceWithOneQuestionMark) {
  const Case cases[] = {
      {"A\xE4\xB8" "B", "A?B", "a truncated sequence is one replacement"},
      {"\xE4\xB8\xE6\x96\x87", "?\xCE\xC4", "a truncated sequence does not take the next character"},
      {"\xE4\xB8", "?", "truncated at the end"},
      {"\xF0\x9F\x98", "?", "a truncated four-byte sequence"},
      {"\xC2", "?", "a lone lead byte at the end"},
      {"\xC0\xAF", "??", "overlong two-byte form: C0 is never valid"},
      // Windows takes a lead byte and the continuation bytes after it as
      // one ill-formed sequence as long as the sequence could be complete.
      {"\xE0\x80\xAF", ByPlatform("??", "???"), "overlong three-byte form"},
      {"\xF0\x80\x80\xAF", ByPlatform("???", "????"), "overlong four-byte form"},
      {"\xED\xA0\x80", ByPlatform("??", "???"), "an encoded surrogate"},
      {"\xED\xA0\x80\xED\xB0\x80", ByPlatform("????", "??????"), "an encoded surrogate pair"},
      {"\xF4\x90\x80\x80", ByPlatform("???", "????"), "beyond U+10FFFF"},
      {"\x80\xBF", "??", "stray continuation bytes, one each"},
      {"\xD6\xD0", "??", "GBK bytes read as UTF-8"},
      {"\xE4\xB8\xAD\x80\xE6\x96\x87", "\xD6\xD0?\xCE\xC4", "the characters around it keep their place"},
      {"\xFE\xFF", "??", "bytes that never occur in UTF-8"},
      {"\xE4\x00\xAD"s, "?\0?"s, "a zero byte ends a sequence and is kept"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(ByteString(c.input)).view(), c.want) << c.rule;
  }
}

TEST(Utf8ToGbk, ComposesACharacterWithAFollowingNonSpacingMark) {
  const Case cases[] = {
      {"e\xCC\x81", "\xA8\xA6", "e + U+0301 is U+00E9"},
      {"e\xCC\x81x", "\xA8\xA6x", "the text goes on after the composite"},
      {std::string(40, 'a') + "e\xCC\x81", std::string(40, 'a') + "\xA8\xA6",
       "the base ends a long ASCII run"},
      {"\xE3\x81\x8B\xE3\x82\x99", "\xA4\xAC", "ka + voiced mark is ga"},
      {"u\xCC\x88\xCC\x84", "\xA8\xB9?", "one pair only: the composite takes no further mark"},
      {"q\xCC\x81", "q?", "no precomposed form: both are converted in turn"},
      {"\xC3\xA9\xCC\x81", "\xA8\xA6?", "a precomposed character with a mark it has no pair for"},
      {"a\xCC\x8A", "a?", "the composite exists but GBK lacks it: both converted in turn"},
      {"A\xCC\x80", "\xA8\xA4", "a composite GBK holds by a best fit (U+00C0)"},
      {"\xCC\x81" "e", "?e", "a mark with nothing before it"},
      {"\xE0\xAF\x86\xE0\xAE\xBE", "??", "a spacing mark is not composed"},
      {"e\xCC\x81\xCC\x81", "\xA8\xA6?", "a second mark the composite has no pair for"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(ByteString(c.input)).view(), c.want) << c.rule;
  }
}

// Conversion has no context beyond one character (and its marks), so a long
// input converts to the pieces' conversions one after the other, whatever
// mix of ASCII runs and other characters it holds. (No piece starts with a
// mark or a continuation byte, which would join the piece before it.)
TEST(Utf8ToGbk, LongMixedInputEqualsItsPiecesConverted) {
  const std::string pieces[] = {
      "a", "abc", "abcd", "<div class=\"x\">", std::string(47, 'q'), std::string(48, 'r'),
      std::string(49, 's'), std::string(200, ' '), "\xE4\xB8\xAD", "\xE6\x96\x87\xE5\xAD\x97",
      "\xE2\x82\xAC", "\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x98\x80", "\xEA\xB0\x80", "\xFF",
      "\xE4\xB8", "\xED\xA0\x80", "\xEF\xBB\xBF", "\0"s};
  std::string input, want;
  uint32_t seed = 12345;
  for (int i = 0; i < 6000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::string& piece = pieces[(seed >> 16) % std::size(pieces)];
    input += piece;
    want += Utf8ToGbk(ByteString(piece)).view();
  }
  EXPECT_EQ(Utf8ToGbk(ByteString(input)).view(), want);
}

// WholeConversion(): UTF-8 to GBK as one conversion of everything.
std::string WholeConversion(const std::string& utf8) {
  const ByteString wide = Utf8ToWide(ByteString(utf8));
  const auto* units = reinterpret_cast<const char16_t*>(wide.data());
  const int32_t count = BytesLength(wide) / 2;
  std::string gbk(
      static_cast<std::size_t>(platform::WideToMultiByte(936, platform::kCompositeCheck, units, count, nullptr, 0)),
      '\0');
  platform::WideToMultiByte(936, platform::kCompositeCheck, units, count, gbk.data(),
                            static_cast<int32_t>(gbk.size()));
  return gbk;
}

// A large input is converted in blocks; the result must be that of one
// conversion of the whole, wherever the blocks end. Inputs of a megabyte:
// a random mix of pieces, some of which start with a mark or a continuation
// byte and so join whatever stands before them; Chinese with marks and no
// ASCII; and letters each followed by a mark that composes with it.
TEST(Utf8ToGbk, LargeInputEqualsOneConversionOfTheWhole) {
  const std::string pieces[] = {
      "a", "<p>", std::string(300, 'q'), "\xE4\xB8\xAD", "\xE6\x96\x87", "e", "\xCC\x81", "\xCC\x88",
      "u\xCC\x88\xCC\x84", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xE4\xB8", "\x80", "\xBF\xBF", "\xFF",
      "\xC3", "\xEF\xBB\xBF", "\0"s};
  std::string mix, chinese, composed;
  uint32_t seed = 99;
  while (mix.size() < (1u << 20)) {
    seed = seed * 1103515245u + 12345u;
    mix += pieces[(seed >> 16) % std::size(pieces)];
  }
  for (int i = 0; chinese.size() < (1u << 20); ++i) {
    chinese += i % 7 == 3 ? "\xE9\xBE\xA5\xCC\x81" : "\xE4\xB8\xAD\xE6\x96\x87";
  }
  while (composed.size() < (1u << 20)) composed += "e\xCC\x81";
  for (const std::string* input : {&mix, &chinese, &composed}) {
    const std::string whole = WholeConversion(*input);
    ASSERT_FALSE(whole.empty());
    EXPECT_TRUE(Utf8ToGbk(ByteString(*input)).view() == whole) << input - &mix;
  }
}

TEST(Utf8ToWide, ConvertsEveryByteAndAddsNothing) {
  const Case cases[] = {
      {"A\0B"s, "A\0\0\0B\0"s, "a zero byte becomes a zero unit"},
      {"", "", "empty input"},
      {"\xE4\xB8\xAD", "\x2D\x4E", "little-endian units"},
      {"\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE"s, "a supplementary character is a surrogate pair"},
      {"\xC0\xAF", "\xFD\xFF\xFD\xFF", "ill-formed bytes become U+FFFD"},
      {"abcdefghij\xC3\xA9", "a\0b\0c\0d\0e\0f\0g\0h\0i\0j\0\xE9\0"s, "ASCII then more"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToWide(ByteString(c.input)).view(), c.want) << c.rule;
  }
}

TEST(GbkToWide, EndsWithOneZeroUnit) {
  const Case cases[] = {
      {"A", "A\0\0\0"s, "one character and the terminator"},
      {"", "", "the empty text gives nothing, not a lone zero unit"},
      {"\xD6\xD0", "\x2D\x4E\0\0"s, "a double-byte character"},
      {"\x80", "\xAC\x20\0\0"s, "80 is the euro sign"},
      {"\xAA\xA1\xFE\xFE", "\x00\xE0\xC5\xE4\0\0"s, "user-defined areas map to private use"},
      // The default character of code page 936 is "?", also from GBK.
      {"A\x81", "A\0?\0\0\0"s, "a dangling lead byte is replaced; the terminator stays"},
      {"\x81 x", "?\0x\0\0\0"s, "a lead byte before a non-trail: one pair, replaced"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToWide(Text(c.input)).view(), c.want) << c.rule;
  }
}

TEST(GbkToUtf8, EndsWithOneZeroByte) {
  const Case cases[] = {
      {"\xD6\xD0", "\xE4\xB8\xAD\0"s, "one character and the terminator"},
      {"", "", "the empty text gives nothing"},
      {"abc", "abc\0"s, "ASCII"},
      {"\x80", "\xE2\x82\xAC\0"s, "the euro sign"},
      {"\x81", "?\0"s, "a dangling lead byte is \"?\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(Text(c.input)).view(), c.want) << c.rule;
  }
}

TEST(WideToUtf8, ConvertsEveryUnitAndAddsNothing) {
  const Case cases[] = {
      {"A\0"s, "A", "no zero unit in, no zero byte out"},
      {"A\0\0\0"s, "A\0"s, "a zero unit at the end gives one zero byte"},
      {"A\0B"s, "A", "an odd last byte is no unit"},
      {"", "", "empty input"},
      {"\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80", "a surrogate pair"},
      {"\x00\xD8" "A\0"s, "\xEF\xBF\xBD" "A", "an unpaired surrogate is U+FFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideToUtf8(ByteString(c.input)).view(), c.want) << c.rule;
  }
}

// Every GBK character, the single bytes 80 and FF included, comes back
// unchanged from UTF-8: the two directions use one mapping.
TEST(Charset, EveryGbkCharacterSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 0x80; ++b) all += static_cast<char>(b);
  all += "\x80\xFF";
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      all += static_cast<char>(lead);
      all += static_cast<char>(trail);
    }
  }
  const ByteString utf8 = GbkToUtf8(Text(all));
  ASSERT_FALSE(utf8.empty());
  EXPECT_EQ(utf8.view().back(), '\0');
  EXPECT_EQ(Utf8ToGbk(BytesLeft(utf8, BytesLength(utf8) - 1)).view(), all);
}

}  // namespace
}  // namespace brelk
