#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/printers.h"
#include "text/text.h"

namespace brelk {
namespace {

TEST(UrlEncode, PassesOnlyLettersAndDigits) {
  struct Case {
    const char* input;
    const char* plain;
    const char* utf8;
    const char* rule;
  } cases[] = {
      {"abc123XYZ", "abc123XYZ", "abc123XYZ", "letters and digits pass"},
      {"\xD6\xD0", "%D6%D0", "%E4%B8%AD", "a GBK character, byte by byte"},
      {" ", "%20", "%20", "a space is %20, never +"},
      {"a.b-c_d~e", "a%2Eb%2Dc%5Fd%7Ee", "a%2Eb%2Dc%5Fd%7Ee", "unreserved marks are escaped"},
      {"\t", "%09", "%09", "a leading zero digit"},
      {"%25", "%2525", "%2525", "a percent sign is escaped"},
      {"", "", "", "the empty text"},
      {"\x80", "%80", "%E2%82%AC", "80 is the euro sign in GBK"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlEncode(c.input), Text(c.plain)) << c.rule;
    EXPECT_EQ(UrlEncodeUtf8(c.input), Text(c.utf8)) << c.rule;
  }
}

// Every byte a Text can hold (1..255), against a reference written from the
// rule: ASCII letters and digits themselves, anything else "%XX".
TEST(UrlEncode, EscapesEveryOtherByteValue) {
  std::string all, want;
  for (int b = 1; b < 256; ++b) {
    all += static_cast<char>(b);
    const bool passes = (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) ||
                        (b >= 0x61 && b <= 0x7A);
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", b);
    want += passes ? std::string(1, static_cast<char>(b)) : std::string(escaped);
  }
  EXPECT_EQ(UrlEncode(Text(all)), Text(want));
}

}  // namespace
}  // namespace brelk
