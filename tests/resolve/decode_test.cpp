#include <gtest/gtest.h>

#include "resolve/resolve.h"
#include "support/printers.h"

namespace brelk {
namespace {

TEST(StripScheme, TakesTheTextAfterTheFirstDoubleSlash) {
  struct Case {
    Text link, want;
    const char* rule;
  } cases[] = {
      {"sch://abc/", "abc", "scheme and one trailing slash go"},
      {"abc", "abc", "no // keeps the whole link"},
      {"a//b//", "b/", "only the first // and one trailing slash"},
      {"x//", "", "// at the end"},
      {"//", "", "// alone"},
      {"/", "", "a lone slash is a trailing slash"},
      {"", "", "empty link"},
  };
  for (const Case& c : cases) EXPECT_EQ(StripScheme(c.link), c.want) << c.rule;
}

TEST(DecodeDownloadReply, DecodesTheFramedAddress) {
  struct Case {
    Text reply, want;
    const char* rule;
  } cases[] = {
      {"{thunderDX:'sch://QUFhYmMlMjU0MVpa/',x:1}", "abc%41", "AAabc%2541ZZ: frame dropped, %25 unescaped"},
      {"thunderDX:'QUF4Wlo='", "x", "a link without // is all body"},
      {"thunderDX:'sch://QUFaWg=='", "", "four decoded bytes leave nothing"},
      {"thunderDX:'sch://QUElMjUyNVpa'", "%25", "AA%2525ZZ: unescaping does not rescan"},
      {"thunderDX:'sch://QUFhYmNkAFpa'", "ab", "the text ends at a decoded zero byte"},
      {"thunderDX:'sch://QUF4Wlo=", "", "no closing quote"},
      {"thunderdx:'sch://QUF4Wlo='", "", "the marker's case matters"},
      {"", "", "empty reply"},
      {"a thunderDX:'sch://QUF4Wlo=' b thunderDX:'sch://QUF5Wlo='", "x", "the first link wins"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeDownloadReply(c.reply), c.want) << c.rule;
}

}  // namespace
}  // namespace brelk
