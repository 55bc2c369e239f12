// GoogleTest printers for the value types: bytes as text with non-printable
// bytes escaped, so that a failing GBK comparison is readable.
#ifndef BRELK_TESTS_SUPPORT_PRINTERS_H_
#define BRELK_TESTS_SUPPORT_PRINTERS_H_

#include <cstdio>
#include <ostream>
#include <string_view>

#include "text/text.h"

namespace brelk {

inline void PrintBytes(std::string_view bytes, std::ostream* os) {
  *os << '"';
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      *os << static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      *os << escaped;
    }
  }
  *os << '"';
}

inline void PrintTo(const Text& t, std::ostream* os) { PrintBytes(t.view(), os); }
inline void PrintTo(const ByteString& b, std::ostream* os) { PrintBytes(b.view(), os); }

}  // namespace brelk

#endif  // BRELK_TESTS_SUPPORT_PRINTERS_H_
