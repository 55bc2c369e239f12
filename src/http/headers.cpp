// Header lines: one header without its line end, "Name: value". The name is
// what stands before the first ":", the value what stands after it, both
// without surrounding blanks. Later colons (those of an address) belong to
// the value. The search walks GBK characters, so a ":" that is the trail byte
// of a double-byte character separates nothing.
#include "http/http.h"

namespace brelk {

// HeaderName(): reads line only; a line without ":" gives the empty text.
Text HeaderName(const Text& line) noexcept {
  const int32_t colon = FindText(line, ":");
  if (colon == -1) return Text();
  return TrimBoth(TextLeft(line, colon - 1));
}

// HeaderValue(): reads line only; a line without ":" gives the empty text.
// Only blanks are trimmed: a tab after the colon stays in the value.
Text HeaderValue(const Text& line) noexcept {
  const int32_t colon = FindText(line, ":");
  if (colon == -1) return Text();
  return TrimBoth(TextRight(line, TextLength(line) - colon));
}

}  // namespace brelk
