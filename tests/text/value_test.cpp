#include <gtest/gtest.h>

#include <string>

#include "support/printers.h"
#include "text/text.h"

namespace brelk {
namespace {

using namespace std::string_literals;

TEST(Text, NeverHoldsAZeroByte) {
  EXPECT_EQ(Text("ab\0c"s).view(), "ab");
  EXPECT_EQ(Text(std::string_view("ab\0c", 4)).view(), "ab");
  EXPECT_TRUE(Text(nullptr).empty());
  EXPECT_EQ(BytesToText(ByteString("ab\0c"s)), Text("ab"));
  EXPECT_EQ(BytesToText(ByteString("abc")), Text("abc"));
  EXPECT_TRUE(TextToBytes("").empty());
  EXPECT_EQ(TextToBytes("\xD6\xD0").view(), "\xD6\xD0");
}

TEST(CharFromCode, KeepsTheLowEightBits) {
  EXPECT_EQ(CharFromCode(0), Text(""));
  EXPECT_EQ(CharFromCode(65), Text("A"));
  EXPECT_EQ(CharFromCode(256 + 66), Text("B"));
  EXPECT_EQ(CharFromCode(256), Text(""));
  EXPECT_EQ(CharFromCode(-1), Text("\xFF"));
}

TEST(HexText, WritesUnsignedUpperCaseDigits) {
  struct Case {
    int32_t n;
    const char* want;
  } cases[] = {{0, "0"}, {5, "5"}, {10, "A"}, {255, "FF"}, {4096, "1000"}, {-1, "FFFFFFFF"}, {INT32_MIN, "80000000"}};
  for (const Case& c : cases) EXPECT_EQ(HexText(c.n), Text(c.want)) << c.n;
}

TEST(ByteString, SlicesAndSearchesByBytes) {
  const ByteString three("abc");
  EXPECT_TRUE(BytesLeft(three, -3).empty());
  EXPECT_EQ(BytesLeft(three, 2).view(), "ab");
  EXPECT_EQ(BytesRight(three, 5), three);
  EXPECT_EQ(BytesRight(three, 1).view(), "c");
  EXPECT_EQ(BytesLength(ByteString("\0\0"s)), 2);
  EXPECT_EQ(BlankBytes(3).view(), "\0\0\0"s);
  EXPECT_TRUE(BlankBytes(-1).empty());

  EXPECT_EQ(FindBytes(ByteString("\0a\0a"s), ByteString("\0a"s)), 1);
  EXPECT_EQ(FindBytes(ByteString("abac"), ByteString("ac")), 3);
  EXPECT_EQ(FindBytes(ByteString("\xB0" "a"), ByteString("a")), 2);  // no character rule
  EXPECT_EQ(FindBytes(ByteString("abc"), ByteString("abcd")), -1);
}

TEST(CompareBytes, ComparesUnsignedOverTheCount) {
  struct Case {
    const char* what;
    std::string a, b;
    int32_t n, want;
  } cases[] = {
      {"equal prefix", "abc", "abd", 2, 0},
      {"first difference decides", "abc", "abd", 3, -1},
      {"unsigned bytes", "\xFF", "\x01", 1, 1},
      {"zero count", "a", "b", 0, 0},
      {"zero bytes compare too", "a\0b"s, "a\0c"s, 3, -1},
      {"a shorter value orders first", "ab", "abc", 3, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareBytes(ByteString(c.a), ByteString(c.b), c.n), c.want) << c.what;
  }
}

TEST(Integers, ShiftThirtyTwoBitValues) {
  EXPECT_EQ(ShiftRight(-8, 1), -4);  // arithmetic
  EXPECT_EQ(ShiftLeft(1, 33), 2);    // count modulo 32
  EXPECT_EQ(ShiftLeft(0xFF, 4), 0xFF0);
  EXPECT_EQ(ShiftRight(0xFF, 6), 3);
  EXPECT_EQ(ShiftLeft(1, 31), INT32_MIN);
  EXPECT_EQ(ToInteger(0xFF), 255);
}

}  // namespace
}  // namespace brelk
