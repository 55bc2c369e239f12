#include <gtest/gtest.h>

#include <string>

#include "support/printers.h"
#include "text/text.h"

namespace brelk {
namespace {

TEST(TextSlicing, CountsBytesAndClampsOutOfRangeArguments) {
  struct Case {
    const char* what;
    Text got;
    Text want;
  } cases[] = {
      {"left: negative count is empty", TextLeft("abc", -1), ""},
      {"left: count past the end stops at the end", TextLeft("abc", 10), "abc"},
      {"right: last bytes", TextRight("abc", 2), "bc"},
      {"right: zero count", TextRight("abc", 0), ""},
      {"right: count past the end", TextRight("abc", 7), "abc"},
      {"mid: position 0 is not moved to 1", TextMid("abcdef", 0, 3), ""},
      {"mid: count past the end stops there", TextMid("abcdef", 5, 10), "ef"},
      {"mid: position past the end", TextMid("abc", 4, 1), ""},
      {"mid: negative count", TextMid("abc", 1, -2), ""},
      {"mid: slicing splits a double-byte character", TextMid("\xD6\xD0\xCE\xC4", 2, 2), "\xD0\xCE"},
      {"mid: extreme position", TextMid("abc", INT32_MAX, INT32_MAX), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(TextLength("\xD6\xD0" "a"), 3);
  EXPECT_EQ(TextLength(Text(nullptr)), 0);
}

TEST(FindText, ScansByCharactersFromTheStartPosition) {
  struct Case {
    const char* what;
    Text text, sub;
    int32_t start;
    bool ignoreCase;
    int32_t want;
  } cases[] = {
      {"start 4 skips the first c", "abcabc", "c", 4, false, 6},
      {"start 0 searches from the beginning", "abc", "c", 0, false, 3},
      {"negative start too", "abc", "a", -7, false, 1},
      {"start past the end searches nothing", "abc", "a", 4, false, -1},
      {"ignore case folds A-Z", "ABC", "b", 1, true, 2},
      {"exact comparison by default", "ABC", "b", 1, false, -1},
      {"a match straddling two characters is no match", "\xB0\xA1\xB0\xA1", "\xA1\xB0", 1, false, -1},
      {"a trail byte equal to ASCII is skipped", "\xB0" "a" "a", "a", 1, false, 3},
      {"boundaries count from the start position", "\xB0\xA1\xB0\xA1", "\xA1\xB0", 2, false, 2},
      {"a dangling lead byte can itself match", "ab\xB0", "\xB0", 1, false, 3},
      {"a dangling lead byte ends the scan", "\xB0", "\xB0" "a", 1, false, -1},
      {"the needle must fit before the end", "abc", "bcd", 1, false, -1},
      {"non-ASCII bytes are never folded", "\xC1", "\xE1", 1, true, -1},
      {"folding applies to trail bytes too", "\xB0" "A", "\xB0" "a", 1, true, 1},
      {"a long run of misaligned candidates", "\xB0\xB0\xB0\xB0\xB0\xB0\xB0\xB0" "x", "\xB0x", 1, false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.text, c.sub, c.start, c.ignoreCase), c.want) << c.what;
  }
}

TEST(FindText, StaysLinearOnAdversarialInput) {
  // 81 81 | x | 81 81 | x ...: every byte-wise "81 x" begins on a trail
  // byte, so a scan that restarted its character walk per candidate would
  // be quadratic.
  std::string page;
  for (int i = 0; i < (1 << 20); ++i) page += "\x81\x81x";
  EXPECT_EQ(FindText(Text(page), "\x81x"), -1);
  EXPECT_EQ(FindText(Text(page), "\x81x", 2), 2);  // from the trail byte on
  page += "\x81x";
  EXPECT_EQ(FindText(Text(page), "\x81x"), static_cast<int32_t>(page.size()) - 1);
}

TEST(FindText, AgreesWithACharacterWalkOnRandomText) {
  // Texts and needles from a four-byte alphabet, two of them lead bytes and
  // one of those equal to a trail: hits at and off character boundaries
  // abound. The reference walks the characters from the start position and
  // compares at each one.
  const char alphabet[] = {'a', 'b', '\xB0', '\xA1'};
  uint32_t state = 7;
  const auto next = [&](uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text(next(24), 'a'), needle(1 + next(3), 'a');
    for (char& c : text) c = alphabet[next(4)];
    for (char& c : needle) c = alphabet[next(4)];
    const int32_t start = static_cast<int32_t>(next(6));
    int32_t want = -1;
    for (std::size_t i = start > 1 ? start - 1 : 0; i < text.size();
         i += static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1) {
      if (text.compare(i, needle.size(), needle) == 0) {
        want = static_cast<int32_t>(i) + 1;
        break;
      }
    }
    ASSERT_EQ(FindText(Text(text), Text(needle), start), want) << round;
  }
}

TEST(Blanks, AreSpacesAndFullWidthSpacesAtCharacterBoundaries) {
  struct Case {
    const char* what;
    Text got;
    Text want;
  } cases[] = {
      {"trim both kinds at both ends", TrimBoth("\xA1\xA1 a b\xA1\xA1 "), "a b"},
      {"tab is no blank", TrimBoth("\ta\t"), "\ta\t"},
      {"blanks only", TrimBoth(" \xA1\xA1  "), ""},
      {"B0 A1 then A1 20: the space is a trail byte", TrimBoth("\xB0\xA1\xA1 "), "\xB0\xA1\xA1 "},
      {"dangling lead byte is kept", TrimBoth(" a\xA1"), "a\xA1"},
      {"inner blanks survive trimming", TrimBoth("  a \xA1\xA1 b "), "a \xA1\xA1 b"},
      {"remove both kinds", RemoveSpaces("a b\xA1\xA1" "c"), "abc"},
      {"B0 A1 then A1 20: nothing to remove", RemoveSpaces("\xB0\xA1\xA1 "), "\xB0\xA1\xA1 "},
      {"remove keeps a dangling lead byte", RemoveSpaces("a \xA1"), "a\xA1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(ReplaceText, ReplacesLeftToRightWithoutRescanning) {
  struct Case {
    const char* what;
    Text text, old, replacement, want;
  } cases[] = {
      {"what was put in is not scanned again", "%2525", "%25", "%", "%25"},
      {"every occurrence", "a%25b%25", "%25", "%", "a%b%"},
      {"occurrences do not overlap", "aaa", "aa", "b", "ba"},
      {"empty old gives a copy", "abc", "", "x", "abc"},
      {"empty text", "", "a", "x", ""},
      {"no match across a character", "\xB0\xA1\xB0", "\xA1\xB0", "x", "\xB0\xA1\xB0"},
      {"the placeholder becomes a quote", "#\xD2\xFD\xBA\xC5" "a", "#\xD2\xFD\xBA\xC5", "\"", "\"a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.old, c.replacement), c.want) << c.what;
  }
}

TEST(SplitText, FollowsTheSeparatorRules) {
  struct Case {
    const char* what;
    Text text, separator;
    std::vector<Text> want;
  } cases[] = {
      {"adjacent separators give an empty element", "a;;b;", ";", {"a", "", "b"}},
      {"leading separator gives an empty first element", ";a", ";", {"", "a"}},
      {"the separator alone gives one empty element", ";", ";", {""}},
      {"the empty text gives the empty list", "", ";", {}},
      {"the empty separator gives the whole text", "abc", "", {"abc"}},
      {"multi-byte separators", "a\r\nb\r\n\r\nc", "\r\n", {"a", "b", "", "c"}},
      {"a separator inside a character does not split", "\xB0;x;y", ";", {"\xB0;x", "y"}},
      {"a dangling lead byte ends the scan", "a;\xB0", ";", {"a", "\xB0"}},
  };
  for (const Case& c : cases) {
    const TextList got = SplitText(c.text, c.separator);
    EXPECT_EQ(got.items, c.want) << c.what;
  }
}

TEST(TextList, IsReadAtPositionsOneToCount) {
  TextList list;
  AppendText(list, "a");
  AppendText(list, "b");
  EXPECT_EQ(ListCount(list), 2);
  EXPECT_EQ(ListItem(list, 1), Text("a"));
  EXPECT_EQ(ListItem(list, 2), Text("b"));
  EXPECT_EQ(ListItem(list, 0), Text(""));
  EXPECT_EQ(ListItem(list, 3), Text(""));
}

TEST(ConcatAndCompare, TreatNullAsEmptyAndCompareUnsigned) {
  EXPECT_EQ(ConcatText(Text(nullptr), "x", Text(nullptr)), Text("x"));
  EXPECT_EQ(ConcatText(Text("a"), "b", Text("c")), Text("abc"));
  struct Case {
    Text a, b;
    int32_t want;
  } cases[] = {
      {Text(nullptr), "", 0},
      {"a", "B", 1},
      {"ab", "abc", -1},
      {"\xB0", "a", 1},  // bytes compare as unsigned values
      {"abc", "abc", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CompareText(c.a, c.b), c.want) << c.a.view();
}

}  // namespace
}  // namespace brelk
