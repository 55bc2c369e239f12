// Fuzz target: the text and byte-string primitives and marker extraction.
//
// Input: fields cut at zero bytes (see naive.h):
//   text \0 sub-text \0 replacement \0 integer a \0 integer b
// The integers are decimal and saturate, so "-99999999999" is INT32_MIN.
// Every routine runs on every input with both integers as positions and
// counts, and its result is compared with the plain rewrite in naive.h; where
// a law holds between routines (a split joins back, a trim is idempotent) it
// is checked too. The whole input, zero bytes and all, serves as a byte
// string for the byte-string primitives.
#include <cstdio>

#include "naive.h"
#include "text/text.h"

namespace {

using brelk::ByteString;
using brelk::Text;

void CheckSlices(const Text& t, int32_t a, int32_t b) {
  const std::string_view v = t.view();
  for (int32_t n : {a, b}) {
    CHECK(brelk::TextLeft(t, n).view() == naive::Left(v, n));
    CHECK(brelk::TextRight(t, n).view() == naive::Right(v, n));
  }
  CHECK(brelk::TextMid(t, a, b).view() == naive::Mid(v, a, b));
  CHECK(brelk::TextMid(t, b, a).view() == naive::Mid(v, b, a));
  CHECK(brelk::TextLength(t) == static_cast<int32_t>(v.size()));
}

void CheckFind(const Text& t, const Text& s, int32_t start) {
  const std::string_view v = t.view();
  for (bool ignoreCase : {false, true}) {
    const int32_t found = brelk::FindText(t, s, start, ignoreCase);
    CHECK(found == naive::Find(v, s.view(), start, ignoreCase));
    if (found == -1) continue;
    // Stated directly as well: the bytes match, at a character boundary
    // counted from where the scan began.
    const std::size_t at = static_cast<std::size_t>(found) - 1;
    const std::size_t origin = start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
    CHECK(at >= origin && at + s.size() <= v.size());
    CHECK(naive::SameBytes(v.substr(at, s.size()), s.view(), ignoreCase));
    CHECK(naive::OnBoundary(v, origin, at));
  }
  CHECK(brelk::FindText(t, s) == brelk::FindText(t, s, 1, false));
}

void CheckBlanks(const Text& t) {
  const Text trimmed = brelk::TrimBoth(t);
  CHECK(trimmed.view() == naive::Trim(t.view()));
  CHECK(t.view().find(trimmed.view()) != std::string_view::npos);
  CHECK(brelk::TrimBoth(trimmed) == trimmed);

  const Text spaceless = brelk::RemoveSpaces(t);
  CHECK(spaceless.view() == naive::RemoveSpaces(t.view()));
  for (std::string_view ch : naive::Chars(spaceless.view())) CHECK(!naive::Blank(ch));
  CHECK(brelk::RemoveSpaces(spaceless) == spaceless);
  CHECK(brelk::TrimBoth(spaceless) == spaceless);
}

void CheckReplaceAndSplit(const Text& t, const Text& s, const Text& r, int32_t a) {
  CHECK(brelk::ReplaceText(t, s, r).view() == naive::Replace(t.view(), s.view(), r.view()));
  CHECK(brelk::ReplaceText(t, s, s) == t);

  const brelk::TextList list = brelk::SplitText(t, s);
  const std::vector<std::string> want = naive::Split(t.view(), s.view());
  CHECK(brelk::ListCount(list) == static_cast<int32_t>(want.size()));
  std::string joined;
  for (int32_t i = 1; i <= brelk::ListCount(list); ++i) {
    CHECK(brelk::ListItem(list, i).view() == want[static_cast<std::size_t>(i) - 1]);
    if (i > 1) joined.append(s.view());
    joined.append(brelk::ListItem(list, i).view());
  }
  // Joined back with the separator the pieces give the text, except that a
  // trailing separator leaves no empty last piece. An empty separator gives
  // the text as its one piece.
  CHECK(joined == t.view() || joined + std::string(s.view()) == t.view());
  const bool inRange = a >= 1 && a <= brelk::ListCount(list);
  CHECK(brelk::ListItem(list, a).view() ==
        (inRange ? std::string_view(want[static_cast<std::size_t>(a) - 1]) : std::string_view()));
}

void CheckMarkers(const Text& t, const Text& left, const Text& right, int32_t start) {
  const Text between = brelk::TextBetween(t, left, right);
  CHECK(between.view() == naive::Between(t.view(), left.view(), right.view()));
  CHECK(between.size() <= t.size());
  for (bool caseSensitive : {false, true}) {
    const Text middle = brelk::ExtractMiddle(t, left, right, start, caseSensitive);
    CHECK(middle.view() ==
          naive::ExtractMiddle(t.view(), left.view(), right.view(), start, caseSensitive));
  }
}

void CheckTextValues(const Text& t, const Text& s, const Text& r, int32_t a, int32_t b) {
  CHECK(brelk::ConcatText(t, s, r).view() ==
        std::string(t.view()) + std::string(s.view()) + std::string(r.view()));
  CHECK(brelk::CompareText(t, s) == naive::Compare(t.view(), s.view()));
  CHECK(brelk::CompareText(s, t) == -naive::Compare(t.view(), s.view()));

  const char low = static_cast<char>(static_cast<uint32_t>(a) & 0xFF);
  CHECK(brelk::CharFromCode(a).view() ==
        (low == '\0' ? std::string_view() : std::string_view(&low, 1)));
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(a));
  CHECK(brelk::HexText(a).view() == hex);

  const uint32_t k = static_cast<uint32_t>(b) % 32;
  CHECK(brelk::ShiftLeft(a, b) ==
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(
            static_cast<uint32_t>(a)) * (uint64_t{1} << k))));
  // Arithmetic shift right is division by 2^k rounded toward minus infinity.
  const int64_t divisor = int64_t{1} << k;
  const int64_t quotient = a >= 0 ? a / divisor : -((-int64_t{a} + divisor - 1) / divisor);
  CHECK(brelk::ShiftRight(a, b) == quotient);
}

void CheckBytes(std::string_view raw, const Text& s, int32_t a, int32_t b) {
  const ByteString bytes(raw);
  CHECK(brelk::BytesLength(bytes) == static_cast<int32_t>(raw.size()));
  for (int32_t n : {a, b}) {
    const std::size_t k = n <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), raw.size());
    CHECK(brelk::BytesLeft(bytes, n).view() == raw.substr(0, k));
    CHECK(brelk::BytesRight(bytes, n).view() == raw.substr(raw.size() - k));
  }

  // FindBytes with a pattern from the sub-text, and with one cut out of the
  // input itself (zero bytes included), which is always found.
  auto naiveFindBytes = [&](std::string_view pattern) -> int32_t {
    for (std::size_t i = 0; i + pattern.size() <= raw.size(); ++i) {
      if (raw.substr(i, pattern.size()) == pattern) return static_cast<int32_t>(i) + 1;
    }
    return -1;
  };
  CHECK(brelk::FindBytes(bytes, brelk::TextToBytes(s)) == naiveFindBytes(s.view()));
  if (!raw.empty()) {
    const std::size_t from = static_cast<uint32_t>(a) % raw.size();
    const std::string_view cut = raw.substr(from, static_cast<uint32_t>(b) % 8);
    const int32_t found = brelk::FindBytes(bytes, ByteString(cut));
    CHECK(found == naiveFindBytes(cut));
    CHECK(found >= 1 && found <= static_cast<int32_t>(from) + 1);
  }

  const Text text = brelk::BytesToText(bytes);
  CHECK(text.view() == raw.substr(0, raw.find('\0')));
  CHECK(brelk::TextToBytes(text).view() == text.view());
  CHECK(brelk::ToInteger(raw.empty() ? 0 : static_cast<unsigned char>(raw[0])) ==
        (raw.empty() ? 0 : static_cast<unsigned char>(raw[0])));

  // CompareBytes over the first n bytes, a shorter value ordering first.
  const ByteString other = brelk::TextToBytes(s);
  for (int32_t n : {a, b}) {
    const std::size_t k = n <= 0 ? 0 : static_cast<std::size_t>(n);
    const int want = naive::Compare(raw.substr(0, std::min(k, raw.size())),
                                    s.view().substr(0, std::min(k, s.size())));
    CHECK(brelk::CompareBytes(bytes, other, n) == want);
  }

  // BlankBytes only for counts that fit a fuzz run's memory.
  if (a <= 1 << 16) {
    const ByteString blank = brelk::BlankBytes(a);
    CHECK(blank.size() == (a <= 0 ? 0u : static_cast<std::size_t>(a)));
    CHECK(blank.view().find_first_not_of('\0') == std::string_view::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> fields = naive::Fields(data, size);
  const Text t(naive::Field(fields, 0));
  const Text s(naive::Field(fields, 1));
  const Text r(naive::Field(fields, 2));
  const int32_t a = naive::Int(naive::Field(fields, 3));
  const int32_t b = naive::Int(naive::Field(fields, 4));

  CheckSlices(t, a, b);
  CheckFind(t, s, a);
  CheckFind(t, s, b);
  CheckBlanks(t);
  CheckReplaceAndSplit(t, s, r, a);
  CheckMarkers(t, s, r, a);
  CheckTextValues(t, s, r, a, b);
  CheckBytes(std::string_view(reinterpret_cast<const char*>(data), size), s, a, b);
  return 0;
}
