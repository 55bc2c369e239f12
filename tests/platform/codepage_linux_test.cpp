// The Linux code-page service against ICU used directly, and against the
// calling convention of the Windows functions it stands in for.
#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace brelk::platform {
namespace {

using namespace std::string_literals;

// Converts in the two calls the library makes; checks that the converting
// call writes exactly what the measuring call announced.
std::u16string ToWide(uint32_t codePage, const std::string& in) {
  const auto size = static_cast<int32_t>(in.size());
  const int32_t n = MultiByteToWide(codePage, 0, in.data(), size, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  EXPECT_EQ(MultiByteToWide(codePage, 0, in.data(), size, out.data(), n), n);
  return out;
}

std::string FromWide(uint32_t codePage, uint32_t flags, const std::u16string& in) {
  const auto size = static_cast<int32_t>(in.size());
  const int32_t n = WideToMultiByte(codePage, flags, in.data(), size, nullptr, 0);
  std::string out(static_cast<std::size_t>(n), '\0');
  EXPECT_EQ(WideToMultiByte(codePage, flags, in.data(), size, out.data(), n), n);
  return out;
}

// ICU's UTF-8 converter is the reference, on two kinds of random input:
// short strings over bytes that start, continue, truncate and break
// sequences, and longer ones made of whole pieces (ASCII runs, runs of
// Chinese, the edge leads E0, ED, EE, EF, F0, F4 and broken sequences) that
// reach the word-at-a-time paths at every alignment.
TEST(MultiByteToWide, Utf8AgreesWithIcusConverterOnMalformedInput) {
  const uint8_t alphabet[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                              0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                              0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};
  const std::string pieces[] = {
      "a", "abcdefg", "abcdefghijklmnopq", "\xE4\xB8\xAD", "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97",
      "\xEF\xBC\x8C", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xC3\xA9",
      "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xE4\xB8", "\xE0\x80\x80", "\xED\xA0\x80",
      "\xC0\xAF", "\x80", "\xFF", "\0"s, "\xF0\x9F\x98"};
  UErrorCode error = U_ZERO_ERROR;
  UConverter* reference = ucnv_open("UTF-8", &error);
  ASSERT_TRUE(U_SUCCESS(error));
  uint32_t seed = 99;
  auto random = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  for (int round = 0; round < 40000; ++round) {
    std::string in;
    if (round % 2 == 0) {
      for (int i = 1 + round % 24; i > 0; --i) in += static_cast<char>(alphabet[random(sizeof alphabet)]);
    } else {
      for (int i = 1 + round % 40; i > 0; --i) in += pieces[random(std::size(pieces))];
    }
    std::u16string want(in.size() + 1, u'\0');
    error = U_ZERO_ERROR;
    want.resize(static_cast<std::size_t>(ucnv_toUChars(reference, want.data(),
                                                       static_cast<int32_t>(want.size()),
                                                       in.data(),
                                                       static_cast<int32_t>(in.size()), &error)));
    ASSERT_EQ(ToWide(kCodePageUtf8, in), want) << "round " << round;
  }
  ucnv_close(reference);
}

// LeaveError(): a from-Unicode callback that leaves the error standing, so
// that a conversion with no mapping fails. (ICU's own "stop" callback lets
// default-ignorable characters through as nothing.)
void LeaveError(const void*, UConverterFromUnicodeArgs*, const UChar*, int32_t, UChar32,
                UConverterCallbackReason, UErrorCode*) {}

// Every BMP code point in turn, unpaired surrogates included (DBFF DC00 forms
// the one pair, and U+1F600 another): the measure is exact, and each
// character gives what ICU maps it to, exactly or by a fallback other than a
// control code, or "?" for each of its units where ICU has neither.
TEST(WideToMultiByte, GbkGivesEachCharacterItsMappingBestFitOrQuestionMarks) {
  std::u16string all;
  for (uint32_t u = 1; u < 0x10000; ++u) all.push_back(static_cast<char16_t>(u));
  all += u"\U0001F600\xDC00";

  UErrorCode error = U_ZERO_ERROR;
  UConverter* reference = ucnv_open("windows-936", &error);
  ASSERT_TRUE(U_SUCCESS(error));
  ucnv_setFromUCallBack(reference, LeaveError, nullptr, nullptr, nullptr, &error);
  ucnv_setFallback(reference, true);
  std::string want;
  for (std::size_t i = 0; i < all.size();) {
    const std::size_t start = i;
    UChar32 c;
    U16_NEXT(all.data(), i, all.size(), c);
    char bytes[8];
    error = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(reference, bytes, sizeof bytes, all.data() + start,
                                      static_cast<int32_t>(i - start), &error);
    const auto first = static_cast<uint8_t>(bytes[0]);
    const bool control = n == 1 && (first < 0x20 || first == 0x7F) && first != c;
    want += U_SUCCESS(error) && !control ? std::string(bytes, static_cast<std::size_t>(n))
                                         : std::string(i - start, '?');
  }
  ucnv_close(reference);

  const std::string got = FromWide(kCodePageGbk, 0, all);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want) << "first difference at byte " << std::distance(
      got.begin(), std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first);

  // Every non-spacing mark, supplementary ones included, after e and after
  // ka, behind a long ASCII run whose last letter takes a mark: with the
  // composite check the pairs GBK holds merge (U+11099 U+110BA, whose
  // composite it lacks, does not), and the measure stays exact (FromWide
  // checks it).
  std::u16string marked = std::u16string(40, u'a') + u"e\u0301\U00011099\U000110BA";
  for (UChar32 c = 0x300; c <= 0x10FFFF; ++c) {
    if (u_charType(c) != U_NON_SPACING_MARK) continue;
    for (UChar32 base : {0x65, 0x304B}) {
      marked += static_cast<char16_t>(base);
      if (c > 0xFFFF) {
        marked += static_cast<char16_t>(U16_LEAD(c));
        marked += static_cast<char16_t>(U16_TRAIL(c));
      } else {
        marked += static_cast<char16_t>(c);
      }
    }
  }
  const std::string composed = FromWide(kCodePageGbk, kCompositeCheck, marked);
  EXPECT_EQ(composed.substr(0, 42), std::string(40, 'a') + "\xA8\xA6");
  EXPECT_EQ(composed.substr(42, 4), "????");
}

// Where Windows' conversions have a rule of their own.
TEST(CodePageConversion, GbkFollowsWindows) {
  struct ToWideCase {
    std::string gbk;
    std::u16string want;
  } toWide[] = {
      // A lead byte takes the byte after it: a pair off the grid is one "?".
      {"\x81\x41", u"\u4E04"},
      {"a\x81\x30" "b", u"a?b"},
      {"\x81\xFF", u"?"},
      // ... but not a zero byte, and a lead byte at the end is "?" alone.
      {"\x81\0"s, u"?\0"s},
      {"a\x81", u"a?"},
  };
  for (const ToWideCase& c : toWide) EXPECT_EQ(ToWide(kCodePageGbk, c.gbk), c.want) << c.gbk;

  struct FromWideCase {
    uint32_t flags;
    std::u16string wide;
    std::string want;
  } fromWide[] = {
      // Best fit: a look-alike GBK holds; none that is a control code.
      {0, u"\u00C0\u00AD\uF900", "\xA8\xA4-\xD8\x4D"},
      {0, u"\uFFE9\uFFEE", "??"},
      // "?" for each unit of what GBK lacks: two for a supplementary
      // character, one for an unpaired surrogate.
      {kCompositeCheck, u"a\U0001F600\xD800" "b", "a???b"},
      // The composite check: the precomposed character where GBK holds it,
      // by a best fit too; else the letter and the mark in turn; one mark.
      {kCompositeCheck, u"e\u0301A\u0300", "\xA8\xA6\xA8\xA4"},
      {kCompositeCheck, u"a\u030Aq\u0301", "a?q?"},
      {kCompositeCheck, u"u\u0308\u0304", "\xA8\xB9?"},
      {0, u"e\u0301", "e?"},
  };
  for (const FromWideCase& c : fromWide) {
    EXPECT_EQ(FromWide(kCodePageGbk, c.flags, c.wide), c.want) << c.flags;
  }
}

TEST(CodePageConversion, FollowsTheWindowsCallingConvention) {
  const char* abc = "abc";
  const char16_t* wideAbc = u"abc";
  char16_t units[8];
  char bytes[8];

  // -1: up to and including the terminator.
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, abc, -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWide(kCodePageGbk, 0, abc, -1, nullptr, 0), 4);
  EXPECT_EQ(WideToMultiByte(kCodePageUtf8, 0, wideAbc, -1, nullptr, 0), 4);
  EXPECT_EQ(WideToMultiByte(kCodePageGbk, 0, wideAbc, -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWide(kCodePageGbk, 0, "", -1, nullptr, 0), 1);

  // Too small a buffer fails; a larger one holds the result and nothing after it.
  for (uint32_t codePage : {kCodePageUtf8, kCodePageGbk}) {
    EXPECT_EQ(MultiByteToWide(codePage, 0, abc, 3, units, 2), 0) << codePage;
    EXPECT_EQ(WideToMultiByte(codePage, 0, wideAbc, 3, bytes, 2), 0) << codePage;
    std::fill(std::begin(units), std::end(units), u'#');
    std::fill(std::begin(bytes), std::end(bytes), '#');
    EXPECT_EQ(MultiByteToWide(codePage, 0, abc, 3, units, 8), 3) << codePage;
    EXPECT_EQ(std::u16string(units, 4), u"abc#") << codePage;
    EXPECT_EQ(WideToMultiByte(codePage, 0, wideAbc, 3, bytes, 8), 3) << codePage;
    EXPECT_EQ(std::string(bytes, 4), "abc#") << codePage;
  }
  // Exact fit for what grows: two GBK bytes, four UTF-8 bytes, two units.
  EXPECT_EQ(WideToMultiByte(kCodePageGbk, 0, u"\u4E2D", 1, bytes, 1), 0);
  EXPECT_EQ(WideToMultiByte(kCodePageGbk, 0, u"\u4E2D", 1, bytes, 2), 2);
  EXPECT_EQ(WideToMultiByte(kCodePageUtf8, 0, u"\U0001F600", 2, bytes, 3), 0);
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, "\xF0\x9F\x98\x80", 4, units, 1), 0);
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, "\xF0\x9F\x98\x80", 4, units, 2), 2);

  // Failures answer 0.
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, abc, 0, nullptr, 0), 0) << "empty source";
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, nullptr, 3, nullptr, 0), 0) << "null source";
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, abc, -2, nullptr, 0), 0) << "bad length";
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, abc, 3, nullptr, 3), 0) << "null buffer";
  EXPECT_EQ(MultiByteToWide(1252, 0, abc, 3, nullptr, 0), 0) << "unknown code page";
  EXPECT_EQ(WideToMultiByte(kCodePageUtf8, kCompositeCheck, wideAbc, 3, nullptr, 0), 0)
      << "UTF-8 takes no flags";
}

}  // namespace
}  // namespace brelk::platform
