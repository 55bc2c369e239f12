// End to end on Windows: brelk.dll loaded by a Windows host program
// (windows_host.exe, under wine), resolving against the fixture site on port
// 80 of a private network in which the file host's names point at this
// machine, exactly as the Linux end-to-end tests do with libbrelk.so. The
// genuine request object and code-page functions do the work, as the
// emulator provides them.
//
//   entry_export_windows_test [gtest flags] WINE_RUN WINDOWS_HOST_EXE
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/command.h"
#include "support/fixture_site.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"

namespace brelk {
namespace {

std::string wineRun;
std::string windowsHost;
bool inPrivateNetwork = false;
std::string whyNot;

// IsolateWineServer(): an empty temporary directory of this process's own
// for wine, which puts the directory of its server's socket there. A wine
// server of this prefix left running outside the private network (by the
// test program before this one) would otherwise be found and take the
// host's connections, making them in its own network, not this one. The
// directory lies beside the host program, a tmpfs of this mount namespace
// over it, so nothing of it outlives the test.
bool IsolateWineServer(std::string* why) {
  const std::string dir = windowsHost.substr(0, windowsHost.find_last_of('/') + 1) + "wine-tmp";
  mkdir(dir.c_str(), 0700);
  if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "mode=0700") != 0) {
    *why = "cannot mount a fresh " + dir;
    return false;
  }
  setenv("TMPDIR", dir.c_str(), 1);
  return true;
}

// RunHost(): the host's standard output for these arguments.
std::string RunHost(const std::vector<std::string>& arguments) {
  std::string command = testing::QuoteWord(wineRun) + " " + testing::QuoteWord(windowsHost);
  for (const std::string& argument : arguments) command += " " + testing::QuoteWord(argument);
  int status = 0;
  const std::string out = testing::CommandOutput(command, &status);
  EXPECT_EQ(status, 0) << command;
  return out;
}

// Hex(): how the host prints a result: its bytes in hex, or "null".
std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "null";
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// Target(): the request-line target of a request the site received.
std::string Target(const std::string& request) { return loopback::RequestPath(request); }

std::string ShareTarget(const fixture::Share& share) {
  return share.address.substr(share.address.find('/', sizeof "http://"));
}

std::string ListTarget(const std::string& query) { return "/ajax/downloads.ashx?" + query; }

TEST(WindowsHost, ResolvesEveryKindOfShareThroughBrelkDll) {
  if (!inPrivateNetwork) GTEST_SKIP() << "no private network for the fixture site: " << whyNot;
  loopback::ServerPtr site = loopback::StartServer(fixture::Site(), 80);

  const std::string empty = "id=&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041";
  const fixture::Share utf8 = fixture::Utf8Share(), gbk = fixture::GbkShare(),
                       redirect = fixture::RedirectShare(), cookie = fixture::CookieShare(),
                       gone = fixture::GoneShare();
  struct Case {
    const char* what;
    std::string argument;
    std::string result;                // GBK bytes; empty: null
    std::vector<std::string> targets;  // the requests the site sees, in order
  } cases[] = {
      {"UTF-8 page", utf8.address, utf8.directAddress, {ShareTarget(utf8), ListTarget(utf8.query)}},
      {"GBK page with a GBK direct address", gbk.address, gbk.directAddress,
       {ShareTarget(gbk), ListTarget(gbk.query)}},
      {"short address redirected to the page", redirect.address, redirect.directAddress,
       {ShareTarget(redirect), ShareTarget(utf8), ListTarget(redirect.query)}},
      {"page served with cookies", cookie.address, cookie.directAddress,
       {ShareTarget(cookie), ListTarget(cookie.query)}},
      {"reply without a link", gone.address, "", {ShareTarget(gone), ListTarget(gone.query)}},
      {"nothing listens there", "http://1000eb.com:81/f/4096", "", {ListTarget(empty)}},
      {"a null argument is the empty address", "-null-", "", {ListTarget(empty)}},
  };

  std::vector<std::string> arguments;
  std::string expected;
  std::vector<std::string> targets;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    arguments.push_back(cases[i].argument);
    expected += "name " + std::to_string(i) + " " + Hex(cases[i].result) + "\n";
    targets.insert(targets.end(), cases[i].targets.begin(), cases[i].targets.end());
  }
  // The first share again, through the export found by ordinal 1.
  expected += "ordinal 0 " + Hex(utf8.directAddress) + "\nunloaded\n";
  targets.insert(targets.end(), cases[0].targets.begin(), cases[0].targets.end());

  EXPECT_EQ(RunHost(arguments), expected);

  const std::vector<std::string> requests = loopback::ServerRequests(*site);
  std::vector<std::string> seen;
  for (const std::string& request : requests) seen.push_back(Target(request));
  EXPECT_EQ(seen, targets);
  // The cookies the share page set stay with that page: the download-list
  // request after it carries none.
  for (std::size_t i = 1; i < requests.size(); ++i) {
    if (seen[i - 1] == ShareTarget(cookie)) {
      EXPECT_EQ(loopback::RequestHeader(requests[i], "Cookie"), "");
    }
  }
}

}  // namespace
}  // namespace brelk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s [gtest flags] WINE_RUN WINDOWS_HOST_EXE\n", argv[0]);
    return 2;
  }
  brelk::wineRun = argv[1];
  brelk::windowsHost = argv[2];
  // Before any thread exists: the mount namespace needs a single thread.
  brelk::inPrivateNetwork =
      brelk::testing::EnterPrivateNetwork(brelk::fixture::AllHostNames(), &brelk::whyNot) &&
      brelk::IsolateWineServer(&brelk::whyNot);
  brelk::testing::ForgetProxyEnvironment();
  return RUN_ALL_TESTS();
}
