#include <gtest/gtest.h>

#include <string>

#include "resolve/resolve.h"
#include "support/printers.h"

namespace brelk {
namespace {

// A share page's script text, cut down to the fragments the values come from.
constexpr const char* kPage =
    "var _screctTime = \"k9x\", "
    "ActiviDownloads(\"d77\", 1); "
    "fileInfoFileName(\"My File.zip\", 2); "
    "fileInfoFileSize(\"4096\", 3); "
    "Qt = \"q5\", "
    "dxservers: [x>a:\"dx-1\"] ltservers: [y>b:\"lt1\"], "
    "downDelay: 0, opts = {downDelay:30, x: 1}/script>";

std::string Address(const std::string& query) { return kDownloadListPrefix + query; }

TEST(DownloadListAddress, JoinsTheEightValuesInOrder) {
  ResolveTrace trace;
  const Text address = DownloadListAddress(kPage, &trace);
  EXPECT_EQ(address.view(),
            Address("4096&e=k9x&d=d77&tdxsrv=dx%2D1&tltsrv=lt1&delay=30"
                    "&n=My%20File%2Ezip&t=q5&_=1404833400041"));

  ASSERT_EQ(trace.values.size(), 8u);
  EXPECT_EQ(trace.values[3].key, Text("tdxsrv"));
  EXPECT_EQ(trace.values[3].extracted, Text("dx-1"));
  EXPECT_EQ(trace.values[3].joined, Text("dx%2D1"));
  EXPECT_EQ(trace.values[6].extracted, Text("My File.zip"));
}

TEST(DownloadListAddress, FollowsTheExtractionRules) {
  struct Case {
    const char* rule;
    std::string page;
    std::string query;
  } cases[] = {
      {"without a second downDelay: the delay is empty",
       "fileInfoFileSize(\"1\",2) downDelay: 30, x/script>",
       "1&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"},
      {"the first Qt of the page wins",
       std::string("Qt(\"zz\", 1) ") + kPage,
       "4096&e=k9x&d=d77&tdxsrv=dx%2D1&tltsrv=lt1&delay=30&n=My%20File%2Ezip&t=zz&_=1404833400041"},
      {"an empty page still gives every key",
       "", "&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"},
      {"a piece with one double quote gives an empty value",
       "fileInfoFileSize(\"4096, 3);", "&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"},
      {"id, tltsrv and delay go in unencoded",
       "fileInfoFileSize(\"a b&c\", 1) ltservers: [y>b:\"l t&\"], downDelay: x downDelay:1 2&3,/script>",
       "a b&c&e=&d=&tdxsrv=&tltsrv=l t&&delay=1 2&3&n=&t=&_=1404833400041"},
      {"a server list without > gives empty values",
       "dxservers \"s1\" ltservers \"s2\",",
       "&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"},
      {"the end mark lets the value itself stop a step",
       "dxservers: [a>b&&&c>d:\"x\"] ltservers",
       "&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"},
      {"the file name is encoded in UTF-8, the others in GBK",
       "fileInfoFileName(\"\xD6\xD0\", 1) Qt(\"\xD6\xD0\",",
       "&e=&d=&tdxsrv=&tltsrv=&delay=&n=%E4%B8%AD&t=%D6%D0&_=1404833400041"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadListAddress(Text(c.page)).view(), Address(c.query)) << c.rule;
  }
}

}  // namespace
}  // namespace brelk
