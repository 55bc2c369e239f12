#include <gtest/gtest.h>

#include <string>

#include "support/printers.h"
#include "text/text.h"

namespace brelk {
namespace {

using namespace std::string_literals;

TEST(Base64Decode, FollowsTheFixedRules) {
  struct Case {
    const char* input;
    std::string want;
    const char* rule;
  } cases[] = {
      {"QUJD", "ABC", "one whole group"},
      {"QUI=", "AB", "one padding byte cuts one output byte"},
      {"QQ==", "A", "two padding bytes cut two"},
      {"QUJDREVG", "ABCDEF", "two groups"},
      {"QUJDRA==", "ABCD", "padded second group"},
      {"QUJDRA", "ABC\0"s, "two trailing bytes are not decoded and leave a zero byte"},
      {"QUJ", "\0\0"s, "three trailing bytes leave two zero bytes"},
      {"QUJDR", "ABC", "one trailing byte leaves nothing"},
      {"QUJD=", "AB", "the cut takes a decoded byte when nothing else is there"},
      {"QUJDRA=", "ABC\0"s, "the cut removes one of the two zero bytes"},
      {"Q=JD", "\x40\x02\x43", "an inner = is the value 0"},
      {"QU\nJD", "\x41\x40\x09", "a line break is the value 0 and shifts the group"},
      {"Q", "", "one byte: no output"},
      {"=", "", "padding longer than the output"},
      {"==", "", "two padding bytes, no output"},
      {"", "", "empty input"},
      {"-_\xFF\xB0", "\0\0\0"s, "bytes outside the alphabet are all 0"},
      {"////", "\xFF\xFF\xFF", "the highest values"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Base64Decode(ByteString(c.input)).view(), c.want) << c.input << ": " << c.rule;
  }
}

TEST(Base64Decode, MatchesTheStandardOnWellFormedInput) {
  // Round trip every byte value through a plain RFC 4648 encoder.
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t length = 0; length < 40; ++length) {
    std::string raw;
    for (std::size_t i = 0; i < length; ++i) raw += static_cast<char>((i * 97 + length * 31) & 0xFF);
    std::string encoded;
    for (std::size_t i = 0; i < raw.size(); i += 3) {
      uint32_t v = static_cast<unsigned char>(raw[i]) << 16;
      if (i + 1 < raw.size()) v |= static_cast<unsigned char>(raw[i + 1]) << 8;
      if (i + 2 < raw.size()) v |= static_cast<unsigned char>(raw[i + 2]);
      encoded += kAlphabet[(v >> 18) & 63];
      encoded += kAlphabet[(v >> 12) & 63];
      encoded += i + 1 < raw.size() ? kAlphabet[(v >> 6) & 63] : '=';
      encoded += i + 2 < raw.size() ? kAlphabet[v & 63] : '=';
    }
    EXPECT_EQ(Base64Decode(ByteString(encoded)).view(), raw) << encoded;
  }
}

}  // namespace
}  // namespace brelk
