#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "http/http.h"
#include "support/printers.h"

namespace brelk {
namespace {

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
  struct Case {
    Text entry, want;
    const char* rule;
  } cases[] = {
      {" sid =1", "sid", "blanks around the name go"},
      {"a=b=c", "a", "only the first = counts"},
      {"flag", "flag", "no =: the whole entry is its name"},
      {"\xA1\xA1" "flag ", "flag", "no =: trimmed all the same"},
      {"=v", "", "nothing before ="},
      {"", "", "the empty entry"},
      {"\xB0=x=1", "\xB0=x", "an = that is a trail byte is part of the name"},
  };
  for (const Case& c : cases) EXPECT_EQ(CookieName(c.entry), c.want) << c.rule;
}

TEST(CookieNamePresent, ComparesNamesCaseSensitively) {
  const TextList list{{"A=1", "flag", " b =2"}};
  EXPECT_TRUE(CookieNamePresent(list, "A"));
  EXPECT_FALSE(CookieNamePresent(list, "a"));
  EXPECT_TRUE(CookieNamePresent(list, "flag"));
  EXPECT_TRUE(CookieNamePresent(list, "b"));
  EXPECT_FALSE(CookieNamePresent(list, "A=1"));
  EXPECT_FALSE(CookieNamePresent(TextList{}, ""));
}

TEST(ListContains, MatchesWholeItemsOnly) {
  const TextList list{{"a=1", ""}};
  EXPECT_TRUE(ListContains(list, "a=1"));
  EXPECT_TRUE(ListContains(list, ""));
  EXPECT_FALSE(ListContains(list, "a"));
  EXPECT_FALSE(ListContains(list, "A=1"));
  EXPECT_FALSE(ListContains(TextList{}, ""));
}

TEST(JoinDistinct, DropsExactRepeatsKeepingTheFirst) {
  struct Case {
    Text text, separator, want;
    const char* rule;
  } cases[] = {
      {"a; b; a", "; ", "a; b", "the repeat goes, the first keeps its place"},
      {"", "; ", "", "the empty text"},
      {"b; a; b; a; c", "; ", "b; a; c", "order of first occurrences"},
      {"a; A", "; ", "a; A", "case matters"},
      {"a; ; b; ", "; ", "a; ; b", "an inner empty piece stays, a trailing separator adds none"},
      {"; ; a", "; ", "; a", "empty pieces repeat like any other"},
      {"a;a", "", "a;a", "an empty separator leaves the text whole"},
      {"a\xA1\xA1" "b\xA1\xA1" "a", "\xA1\xA1", "a\xA1\xA1" "b", "any separator"},
  };
  for (const Case& c : cases) EXPECT_EQ(JoinDistinct(c.text, c.separator), c.want) << c.rule;
}

TEST(MergeCookies, ReplacesDeletesAndKeepsOrder) {
  struct Case {
    Text cookies, received, want;
    const char* rule;
  } cases[] = {
      {"a=0; x=9", "a=1; b=2; ", "a=1; b=2; x=9", "received in order, then unreplaced sent ones"},
      {"", "", "", "both empty"},
      {" \xA1\xA1 ", "\xA1\xA1", "", "blank-only arguments"},
      {"sid=1; u=2", "sid=deleted; ", "u=2", "a deletion removes the sent cookie too"},
      {"", "a=1; a=2; ", "a=1; a=2", "received entries are not compared by name"},
      {"", "a=1; a=1; ", "a=1", "exact repeats go"},
      {"a=1; a=2", "", "a=1", "of sent entries with one name the first stays"},
      {"n=a b", "", "n=ab", "blanks inside values go too"},
      {"n=a\xA1\xA1" "b", "", "n=ab", "full-width blanks too"},
      {"n=a\tb", "", "n=a\tb", "a tab is no blank"},
      {"flag; a=1", "", "flag; a=1", "an entry without = is its own name"},
      {"flag; a=1", "flag=on; ", "flag=on; a=1", "and is replaced under that name"},
      {"A=1", "a=2; ", "a=2; A=1", "names are case-sensitive"},
      {"", "x=DELETED; ", "x=DELETED", "the deletion marker is case-sensitive"},
      {"", "=deleted; y=1; ", "y=1", "the bare marker is an entry that goes"},
      {"", "a=1;;b=2;", "a=1; ; b=2", "an empty inner entry survives"},
      {"", "a=1;;", "a=1", "an empty last entry leaves no trace"},
      {"x=1; x=deleted", "", "x=1", "a later sent deletion is dropped by name"},
      {"a=\xB0;x", "", "a=\xB0;x", "a ; that is a trail byte separates nothing"},
      {"x=9", "a=\xB0", "a=\xB0; x=9", "a dangling lead byte takes the next ; as its trail"},
  };
  for (const Case& c : cases) {
    Text cookies = c.cookies;
    Text received = c.received;
    const Text result = MergeCookies(cookies, received);
    EXPECT_EQ(cookies, c.want) << c.rule;
    EXPECT_EQ(result, c.want) << c.rule;
    EXPECT_EQ(received, RemoveSpaces(c.received)) << c.rule;
  }
}

TEST(MergeCookies, WritesBothArgumentsBack) {
  Text cookies = "a=0; x=9";
  Text received = "a=1; b=2; ";
  EXPECT_EQ(MergeCookies(cookies, received), "a=1; b=2; x=9");
  EXPECT_EQ(cookies, "a=1; b=2; x=9");
  EXPECT_EQ(received, "a=1;b=2;");
}

// The merge written out step by step, every presence test a walk over the
// list and every string built by concatenation: slow, and plainly the rule.
namespace literal {

Text Name(const Text& entry) {
  const int32_t p = FindText(entry, "=");
  return p == -1 ? TrimBoth(entry) : TrimBoth(TextLeft(entry, p - 1));
}

bool NamePresent(const TextList& list, const Text& name) {
  for (int32_t i = 1; i <= ListCount(list); ++i) {
    if (CompareText(Name(ListItem(list, i)), name) == 0) return true;
  }
  return false;
}

bool Contains(const TextList& list, const Text& item) {
  for (int32_t i = 1; i <= ListCount(list); ++i) {
    if (CompareText(ListItem(list, i), item) == 0) return true;
  }
  return false;
}

Text JoinDistinct(const Text& text, const Text& separator) {
  const TextList pieces = SplitText(text, separator);
  TextList kept;
  Text out;
  for (int32_t i = 1; i <= ListCount(pieces); ++i) {
    const Text& piece = ListItem(pieces, i);
    if (!Contains(kept, piece)) {
      AppendText(kept, piece);
      out = ConcatText(out, piece, separator);
    }
  }
  return TextLeft(out, TextLength(out) - TextLength(separator));
}

Text Merge(Text& cookies, Text& receivedCookies) {
  cookies = RemoveSpaces(cookies);
  receivedCookies = RemoveSpaces(receivedCookies);
  const TextList old = SplitText(cookies, ";");
  TextList merged = SplitText(receivedCookies, ";");
  for (int32_t i = 1; i <= ListCount(old); ++i) {
    const Text& entry = ListItem(old, i);
    if (!NamePresent(merged, Name(entry))) AppendText(merged, entry);
  }
  cookies = Text();
  for (int32_t i = 1; i <= ListCount(merged); ++i) {
    const Text& entry = ListItem(merged, i);
    if (CompareText(TextRight(entry, 8), "=deleted") != 0) {
      cookies = ConcatText(cookies, entry, "; ");
    }
  }
  cookies = TextLeft(cookies, TextLength(cookies) - 2);
  cookies = literal::JoinDistinct(cookies, "; ");
  return cookies;
}

}  // namespace literal

// RandomCookieText(): cookie-like text from pieces chosen to meet every rule
// at once: few names (so they repeat), blanks of both kinds, empty entries,
// deletion markers, entries without "=", and GBK bytes whose trail is a
// separator, a blank or "=" (and a lead byte left dangling at the end).
Text RandomCookieText(std::mt19937& rng) {
  static const std::string_view kPieces[] = {
      "a",  "b",  "A",     "=",       "=",        "1",    "2",      ";",
      ";",  "; ", " ",     "\xA1\xA1", "\xA1",    "=deleted", "deleted", "DELETED",
      "\t", "\xB0;", "\xB0 ", "\xB0=", "\xB0\xA1", "\xD6\xD0", "sid", "x=1",
  };
  std::uniform_int_distribution<int> count(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::string text;
  for (int n = count(rng); n > 0; --n) text += kPieces[pick(rng)];
  if (rng() % 8 == 0) text += "\xB0";  // dangling lead byte
  return Text(text);
}

TEST(MergeCookies, AgreesWithTheStepByStepMerge) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 20000; ++round) {
    const Text cookies = RandomCookieText(rng);
    const Text received = RandomCookieText(rng);
    Text fastCookies = cookies, fastReceived = received;
    Text slowCookies = cookies, slowReceived = received;
    const Text fast = MergeCookies(fastCookies, fastReceived);
    const Text slow = literal::Merge(slowCookies, slowReceived);
    ASSERT_EQ(fast, slow) << "cookies " << testing::PrintToString(cookies)
                          << ", received " << testing::PrintToString(received);
    ASSERT_EQ(fastCookies, slowCookies);
    ASSERT_EQ(fastReceived, slowReceived);
  }
}

TEST(JoinDistinct, AgreesWithTheStepByStepJoin) {
  static const Text kSeparators[] = {"; ", ";", "=", "\xA1\xA1", ""};
  std::mt19937 rng(7);
  for (int round = 0; round < 5000; ++round) {
    const Text text = RandomCookieText(rng);
    for (const Text& separator : kSeparators) {
      ASSERT_EQ(JoinDistinct(text, separator), literal::JoinDistinct(text, separator))
          << testing::PrintToString(text) << " at " << testing::PrintToString(separator);
    }
  }
}

}  // namespace
}  // namespace brelk
