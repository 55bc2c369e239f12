// The Windows code-page layer, driven the way the text layer drives it: a
// measuring call, then a converting call of exactly that size.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/printers.h"

namespace brelk::platform {
namespace {

using namespace std::string_literals;

// ToWide(): both calls of MultiByteToWide on the same source and length.
std::u16string ToWide(uint32_t codePage, const std::string& source, int32_t length) {
  const int32_t units = MultiByteToWide(codePage, 0, source.c_str(), length, nullptr, 0);
  std::u16string out(units > 0 ? units : 0, u'\0');
  if (units > 0) {
    EXPECT_EQ(MultiByteToWide(codePage, 0, source.c_str(), length, out.data(), units), units);
  }
  return out;
}

// ToMultiByte(): both calls of WideToMultiByte on the same source and length.
std::string ToMultiByte(uint32_t codePage, uint32_t flags, const std::u16string& source,
                        int32_t length) {
  const int32_t size = WideToMultiByte(codePage, flags, source.c_str(), length, nullptr, 0);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) {
    EXPECT_EQ(WideToMultiByte(codePage, flags, source.c_str(), length, out.data(), size), size);
  }
  return out;
}

TEST(MultiByteToWide, ConvertsExactlyTheGivenLength) {
  struct Case {
    uint32_t codePage;
    std::string source;
    int32_t length;
    std::u16string want;
  } cases[] = {
      // UTF-8 of two characters.
      {kCodePageUtf8, "\xE4\xB8\xAD\xE6\x96\x87", 6, u"\u4E2D\u6587"},
      // A zero byte inside the length is converted like any other.
      {kCodePageUtf8, "A\0B"s, 3, u"A\0B"s},
      // -1 converts up to and including the zero byte.
      {kCodePageGbk, "A", -1, u"A\0"s},
      {kCodePageGbk, "\xD6\xD0", -1, u"\u4E2D\0"s},
      // A length short of the end leaves the rest alone.
      {kCodePageGbk, "\xD6\xD0\xCE\xC4", 2, u"\u4E2D"},
      // Malformed UTF-8 is replaced, not refused.
      {kCodePageUtf8, "a\xFF" "b", 3, u"a\uFFFDb"},
      // Nothing to convert measures 0.
      {kCodePageUtf8, "", 0, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToWide(c.codePage, c.source, c.length), c.want) << c.codePage << " " << c.length;
  }
}

TEST(MultiByteToWide, FailsWhenTheCapacityIsTooSmall) {
  char16_t out[2] = {u'x', u'x'};
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, "\xE4\xB8\xAD\xE6\x96\x87", 6, out, 1), 0);
}

TEST(WideToMultiByte, ConvertsExactlyTheGivenLength) {
  struct Case {
    uint32_t codePage;
    uint32_t flags;
    std::u16string source;
    int32_t length;
    std::string want;
  } cases[] = {
      // UTF-16 to GBK with the composite check, as the text layer asks.
      {kCodePageGbk, kCompositeCheck, u"\u4E2D\u6587", 2, "\xD6\xD0\xCE\xC4"},
      // A zero unit inside the length becomes a zero byte in place.
      {kCodePageGbk, kCompositeCheck, u"\u4E2D\0A"s, 3, "\xD6\xD0\0A"s},
      // e and a combining acute are composed to U+00E9 first.
      {kCodePageGbk, kCompositeCheck, u"e\u0301", 2, "\xA8\xA6"},
      // Without the flag each is converted alone; GBK lacks the mark.
      {kCodePageGbk, 0, u"e\u0301", 2, "e?"},
      // What GBK cannot hold becomes its default character.
      {kCodePageGbk, kCompositeCheck, u"a\u0E01", 2, "a?"},
      // To UTF-8: a trailing zero unit gives a trailing zero byte...
      {kCodePageUtf8, 0, u"\u4E2D\0"s, 2, "\xE4\xB8\xAD\0"s},
      // ...and none without it.
      {kCodePageUtf8, 0, u"\u4E2D", 1, "\xE4\xB8\xAD"},
      {kCodePageUtf8, 0, u"", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToMultiByte(c.codePage, c.flags, c.source, c.length), c.want)
        << c.codePage << " flags " << c.flags << " length " << c.length;
  }
}

TEST(WideToMultiByte, FailsWhenTheCapacityIsTooSmall) {
  char out[3] = {'x', 'x', 'x'};
  EXPECT_EQ(WideToMultiByte(kCodePageGbk, kCompositeCheck, u"\u4E2D\u6587", 2, out, 3), 0);
}

}  // namespace
}  // namespace brelk::platform
