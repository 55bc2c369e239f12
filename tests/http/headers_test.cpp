#include <gtest/gtest.h>

#include "http/http.h"
#include "support/printers.h"

namespace brelk {
namespace {

TEST(HeaderLine, SplitsAtTheFirstColonAndTrimsBlanks) {
  struct Case {
    Text line, name, value;
    const char* rule;
  } cases[] = {
      {"Location: /a:b", "Location", "/a:b", "later colons belong to the value"},
      {"Location /a", "", "", "no colon: neither name nor value"},
      {"", "", "", "the empty line"},
      {"  X-A :  1  ", "X-A", "1", "blanks around name and value go"},
      {"X-A:", "X-A", "", "nothing after the colon"},
      {":v", "", "v", "nothing before the colon"},
      {"X-A:\t1", "X-A", "\t1", "a tab is no blank and stays in the value"},
      {"\xA1\xA1X\xA1\xA1:\xA1\xA1 1\xA1\xA1", "X", "1", "full-width blanks are trimmed"},
      {"a\xB0:b: c", "a\xB0:b", "c", "a colon that is a trail byte separates nothing"},
      {"A: \xB0\xA1\xA1 ", "A", "\xB0\xA1\xA1 ", "A1 20 after B0 A1 is one character, no blank"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HeaderName(c.line), c.name) << c.rule;
    EXPECT_EQ(HeaderValue(c.line), c.value) << c.rule;
  }
}

}  // namespace
}  // namespace brelk
