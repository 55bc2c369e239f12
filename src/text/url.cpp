// Percent-encoding for query values. Strict: only the 62 ASCII letters and
// digits pass; every other byte, the unreserved "-", ".", "_" and "~"
// included, becomes "%" and two upper-case hex digits, and a space is %20.
// Multi-byte characters are escaped one byte at a time.
#include <string>

#include "text/text.h"

namespace brelk {
namespace {

bool PassesUnescaped(unsigned char b) noexcept {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

}  // namespace

Text UrlEncode(const Text& t) noexcept {
  static const char kHex[] = "0123456789ABCDEF";
  const ByteString bytes = TextToBytes(t);
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes.view()) {
    const auto b = static_cast<unsigned char>(c);
    if (PassesUnescaped(b)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    }
  }
  return Text(std::move(out));
}

Text UrlEncodeUtf8(const Text& t) noexcept {
  // GbkToUtf8 ends the bytes with the converted terminator; BytesToText stops
  // there. The Text only carries UTF-8 bytes on to UrlEncode.
  return UrlEncode(BytesToText(GbkToUtf8(t)));
}

}  // namespace brelk
