#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/printers.h"
#include "text/text.h"

namespace brelk {
namespace {

TEST(TextBetween, TakesTheFirstLeftMarkerAndTheNextRightMarker) {
  struct Case {
    const char* what;
    Text text, left, right, want;
  } cases[] = {
      {"first pair wins", "x[1]y[2]", "[", "]", "1"},
      {"right marker straight after the left one", "abab", "a", "b", ""},
      {"a right marker before the left one does not count", "ba", "a", "b", ""},
      {"nothing after the left marker", "abd", "d", "a", ""},
      {"no left marker", "abd", "x", "d", ""},
      {"comparison is exact", "aXbxd", "a", "x", "Xb"},
      {"no right marker", "a[1", "[", "]", ""},
      {"characters of the rest count from its start", "a[\xB0]]", "[", "]", "\xB0]"},
      {"a marker's bytes inside a character are skipped", "\xB0[[x]", "[", "]", "x"},
  };
  for (const Case& c : cases) EXPECT_EQ(TextBetween(c.text, c.left, c.right), c.want) << c.what;
}

TEST(TextBetween, FindsAValueAtTheEndOfALargePage) {
  std::string page(16 << 20, 'a');
  page += "Qt(\"q5\",";
  EXPECT_EQ(TextBetween(Text(page), "Qt", ","), Text("(\"q5\""));
}

TEST(TextBetweenEach, AnswersAsTextBetweenDoesForEachPair) {
  // Random texts over a small alphabet with lead bytes, so that markers
  // occur often, on and off character boundaries, early and late, and some
  // never; lengths run past the sixteen-byte blocks of the joint search.
  const char alphabet[] = {'a', 'b', '[', ']', '\xB0', '\xA1', 'Q', 't'};
  const std::vector<MarkerPair> pairs = {
      {"[", "]"}, {"ab", "]"}, {"\xA1" "a", "b"}, {"Qt", "["}, {"\xB0\xB0\xB0", "a"}, {"ba[]", "t"},
      {"", "b"}, {"tttttttttttttttttttt", "a"}, {"[a", ""}, {"\xB0" "Q", "t"}};
  uint32_t state = 3;
  const auto next = [&](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text(next(round % 10 == 0 ? 4000 : 80), 'a');
    for (char& c : text) c = alphabet[next(next(4) == 0 ? 8 : 3)];
    const TextList got = TextBetweenEach(Text(text), pairs);
    ASSERT_EQ(ListCount(got), static_cast<int32_t>(pairs.size()));
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      ASSERT_EQ(got.items[k], TextBetween(Text(text), pairs[k].left, pairs[k].right)) << round << " " << k;
    }
  }
}

TEST(ExtractMiddle, HonoursStartCaseAndThePlaceholder) {
  const Text quote = "#\xD2\xFD\xBA\xC5";
  struct Case {
    const char* what;
    Text text, left, right;
    int32_t start;
    bool caseSensitive;
    Text want;
  } cases[] = {
      {"the search begins after the first [", "x[1]y[2]", "[", "]", 3, true, "2"},
      {"start 2 begins at the first [", "x[1]y[2]", "[", "]", 2, true, "1"},
      {"case ignored; the leading blank stays", "set-cookie: sid=1; path=/", "Set-Cookie:", ";", 0, false, " sid=1"},
      {"case-sensitive misses other case", "set-cookie: sid=1; path=/", "Set-Cookie:", ";", 0, true, ""},
      {"no right marker after the left one", "Set-Cookie: sid=1", "Set-Cookie:", ";", 0, false, ""},
      {"the placeholder stands for a double quote", "id=\"abc\"", ConcatText(Text("id="), quote), quote, 0, false, "abc"},
      {"markers that touch give empty", "a[]", "[", "]", 1, true, ""},
      {"start past the end", "a[1]", "[", "]", 9, true, ""},
      {"the right marker is searched after the left one", "];[x]", "[", "]", 0, true, "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractMiddle(c.text, c.left, c.right, c.start, c.caseSensitive), c.want) << c.what;
  }
}

}  // namespace
}  // namespace brelk
