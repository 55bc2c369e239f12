// End to end: libbrelk.so loaded the way a host loads it, resolving against
// the fixture site on port 80 of a private network in which the file host's
// names point at this machine. Nothing above the system's name lookup is
// faked.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/fixture_site.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"
#include "support/tls_server.h"

namespace brelk {
namespace {

using ExportFunction = const char* (*)(const char*);

bool inPrivateNetwork = false;
std::string whyNot;

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!inPrivateNetwork) GTEST_SKIP() << "no private network for the fixture site: " << whyNot;
    library_ = dlopen(BRELK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    resolve_ = reinterpret_cast<ExportFunction>(dlsym(library_, "Analysis_1000eb"));
    ASSERT_NE(resolve_, nullptr);
    site_ = loopback::StartServer(fixture::Site(), 80);
  }
  void TearDown() override {
    site_.reset();
    if (library_ != nullptr) dlclose(library_);
  }

  // Resolve(): the export's answer as a string; "(null)" for a null pointer.
  std::string Resolve(const char* address) {
    const char* result = resolve_(address);
    return result == nullptr ? "(null)" : std::string(result);
  }

  std::vector<std::string> Requests() { return loopback::ServerRequests(*site_); }

  void* library_ = nullptr;
  ExportFunction resolve_ = nullptr;
  loopback::ServerPtr site_;
};

std::string DownloadListTarget(const std::string& query) {
  return std::string("/ajax/downloads.ashx?") + query;
}

// HeaderNames(): the request's header names in the order they were sent.
std::vector<std::string> HeaderNames(const std::string& request) {
  std::vector<std::string> names;
  std::size_t line = request.find("\r\n") + 2;
  for (;;) {
    const std::size_t end = request.find("\r\n", line);
    if (end == std::string::npos || end == line) break;
    names.push_back(request.substr(line, request.find(':', line) - line));
    line = end + 2;
  }
  return names;
}

TEST_F(ExportTest, ResolvesAShareSendingTheRequestsAsTheServiceExpects) {
  const fixture::Share share = fixture::Utf8Share();
  EXPECT_EQ(Resolve(share.address.c_str()), share.directAddress);

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string downloadList =
      std::string("http://www.1000eb.com") + DownloadListTarget(share.query);
  struct Expected {
    std::string target, host, referer;
  } expected[] = {
      {"/f/4096", "1000eb.com", share.address},
      {DownloadListTarget(share.query), "www.1000eb.com", downloadList},
  };
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string& request = requests[i];
    EXPECT_TRUE(request.starts_with("GET " + expected[i].target + " HTTP/1.1\r\n")) << request;
    EXPECT_EQ(loopback::RequestHeader(request, "Host"), expected[i].host);
    EXPECT_EQ(loopback::RequestHeader(request, "Referer"), expected[i].referer);
    EXPECT_EQ(loopback::RequestHeader(request, "Accept"), "*/*");
    EXPECT_EQ(loopback::RequestHeader(request, "Accept-Language"), "zh-cn");
    EXPECT_EQ(loopback::RequestHeader(request, "User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; KQ7VX; .NET CLR 2.0.50727; "
              ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)");
    EXPECT_EQ(loopback::RequestHeader(request, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(loopback::RequestHeader(request, "Cookie"), "");
    // The five default headers in their order; Host is the stack's own.
    std::vector<std::string> defaults;
    for (const std::string& name : HeaderNames(request)) {
      if (name != "Host") defaults.push_back(name);
    }
    EXPECT_EQ(defaults, (std::vector<std::string>{"Referer", "Accept", "Accept-Language",
                                                  "User-Agent", "Content-Type"}));
  }
}

TEST_F(ExportTest, ResolvesEveryKindOfSharePage) {
  struct Case {
    const char* what;
    fixture::Share share;
  } cases[] = {
      {"GBK page with a GBK direct address", fixture::GbkShare()},
      {"short address redirected to the page", fixture::RedirectShare()},
      {"page served with cookies", fixture::CookieShare()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Resolve(c.share.address.c_str()), c.share.directAddress) << c.what;
  }
}

TEST_F(ExportTest, CarriesNoCookieToTheDownloadListRequest) {
  const fixture::Share share = fixture::CookieShare();
  EXPECT_EQ(Resolve(share.address.c_str()), share.directAddress);
  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(loopback::RequestHeader(requests[1], "Cookie"), "");
}

TEST_F(ExportTest, SendsTheEmptyQueryWhenTheShareCannotBeFetched) {
  const std::string empty = DownloadListTarget("id=&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041");
  struct Case {
    const char* what;
    const char* address;
    std::size_t requests;  // as the site saw them
  } cases[] = {
      {"nothing listens there", "http://1000eb.com:81/f/4096", 1},
      {"a null argument is the empty address", nullptr, 1},
      {"the empty address", "", 1},
      {"a page that is not a share page", "http://1000eb.com/nothing-here", 2},
  };
  for (const Case& c : cases) {
    const std::size_t before = Requests().size();
    EXPECT_EQ(Resolve(c.address), "(null)") << c.what;
    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), before + c.requests) << c.what;
    EXPECT_TRUE(requests.back().starts_with("GET " + empty + " ")) << c.what;
  }
}

TEST_F(ExportTest, ReturnsNullWhenTheReplyHoldsNoLink) {
  EXPECT_EQ(Resolve(fixture::GoneShare().address.c_str()), "(null)");
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(ExportTest, ReadsThePreviousResultBeforeReleasingIt) {
  const char* first = resolve_(fixture::Utf8Share().address.c_str());
  ASSERT_NE(first, nullptr);
  const std::string firstText = first;
  // The previous result, passed straight back: the library must read it
  // before it frees it, so the share page request goes to that address.
  EXPECT_EQ(resolve_(first), nullptr);
  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(loopback::RequestHeader(requests[2], "Referer"), firstText);
  EXPECT_TRUE(requests[2].starts_with("GET /d/4096/")) << requests[2];
}

TEST_F(ExportTest, KeepsEachResultUntilTheNextCall) {
  const fixture::Share shares[] = {fixture::Utf8Share(), fixture::GbkShare(), fixture::GoneShare()};
  std::string host(256, 'x');
  for (int i = 0; i < 60; ++i) {
    const fixture::Share& share = shares[i % 3];
    // The argument buffer is the host's and is reused at once.
    std::strcpy(host.data(), share.address.c_str());
    const char* result = resolve_(host.c_str());
    std::memset(host.data(), 'y', share.address.size());
    if (share.directAddress.empty()) {
      EXPECT_EQ(result, nullptr) << i;
    } else {
      ASSERT_NE(result, nullptr) << i;
      EXPECT_EQ(std::string(result), share.directAddress) << i;
    }
  }
}

TEST_F(ExportTest, SendsOddValuesIntoTheAddressWithoutSplittingAHeader) {
  const fixture::Share share = fixture::OddValuesShare();
  EXPECT_EQ(Resolve(share.address.c_str()), share.directAddress);
  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string& request = requests[1];
  EXPECT_TRUE(request.starts_with("GET " + DownloadListTarget(share.query) + " HTTP/1.1\r\n")) << request;
  // No line of the values becomes a header of its own: the Referer carries
  // the address with its CR LF percent-encoded, the "#" and what follows it
  // included.
  EXPECT_EQ(HeaderNames(request), (std::vector<std::string>{"Host", "Referer", "Accept", "Accept-Language",
                                                            "User-Agent", "Content-Type"}));
  EXPECT_EQ(loopback::RequestHeader(request, "Referer"),
            "http://www.1000eb.com/ajax/downloads.ashx?id=77 & 1%0D%0AX-Injected: 1&e=e%231%20%26%0D%0A&d=d"
            "&tdxsrv=dx&tltsrv=lt 1&a=b&delay=30#frag%0D%0AX-Evil: 2&n=odd%2Ezip&t=t&_=1404833400041");
}

TEST_F(ExportTest, FollowsHttpsButNeverLeavesItForHttp) {
  // The share host over TLS too, with a certificate the system trusts in
  // this private network only.
  const fixture::Share share = fixture::Utf8Share();
  auto tls = loopback::StartTlsServer(
      [site = fixture::Site()](const std::string& request) {
        const std::string path = loopback::RequestPath(request);
        if (path == "/s/up") return loopback::HttpReply("302 Found", "Location: https://1000eb.com/f/4096\r\n", "");
        if (path == "/s/down") return loopback::HttpReply("302 Found", "Location: http://1000eb.com/f/4096\r\n", "");
        return site(request);
      },
      443, {fixture::kShareHost});
  std::string why;
  ASSERT_TRUE(loopback::TrustOnlyAuthority(loopback::TlsAuthorityPem(*tls), &why)) << why;
  struct Case {
    const char* what;
    const char* address;
    bool resolves;
  } cases[] = {
      {"the page over https", "https://1000eb.com/f/4096", true},
      {"an https redirect to https is followed", "https://1000eb.com/s/up", true},
      {"an https redirect to http is not: its own empty body is the page", "https://1000eb.com/s/down", false},
  };
  for (const Case& c : cases) {
    const std::size_t before = Requests().size();
    EXPECT_EQ(Resolve(c.address), c.resolves ? share.directAddress : "(null)") << c.what;
    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), before + 1) << c.what << ": only the download-list request goes to port 80";
    EXPECT_TRUE(requests.back().starts_with(
        "GET " + DownloadListTarget(c.resolves ? share.query : "id=&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041")))
        << c.what;
  }
  EXPECT_EQ(loopback::TlsRequests(*tls).size(), 4u) << "the page twice, and the two redirects";
}

// StatusKiB(): a "Vm...:" figure of /proc/self/status in KiB.
int64_t StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field + ":")) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

// ServedPage(): the body the fixture site serves for a share.
std::string ServedPage(const fixture::Share& share) {
  const std::string path = share.address.substr(share.address.find('/', 7));
  const std::string reply = fixture::Site()("GET " + path + " HTTP/1.1\r\nHost: 1000eb.com\r\n\r\n").bytes;
  return reply.substr(reply.find("\r\n\r\n") + 4);
}

// Inserted(): page with text put in front of the first occurrence of marker.
std::string Inserted(std::string page, std::string_view marker, std::string_view text) {
  page.insert(page.find(marker), text);
  return page;
}

TEST_F(ExportTest, AnswersHostileSharePagesByThePipelinesRules) {
  using loopback::After;
  using loopback::Reply;
  const fixture::Share share = fixture::Utf8Share();
  const std::string page = ServedPage(share);
  const std::string utf8 = "Content-Type: text/html; charset=utf-8\r\n";
  const std::string empty = "id=&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041";
  struct Case {
    const char* what;
    Reply reply;
    bool resolves;  // else the page is lost and the query is empty
  } cases[] = {
      {"ill-formed UTF-8 outside the values is replaced; the values survive",
       loopback::HttpReply("200 OK", utf8, Inserted(page, "<div", "\xC0\xAF\xED\xA0\x80\xFF\xE4\xB8<p>")), true},
      {"a zero byte after the script ends the text there",
       loopback::HttpReply("200 OK", utf8, Inserted(page, "</body>", std::string(1, '\0'))), true},
      {"a zero byte before the script ends the text before the values",
       loopback::HttpReply("200 OK", utf8, Inserted(page, "<script", std::string(1, '\0'))), false},
      {"a reset after the whole script: a broken reply is no page",
       {"HTTP/1.1 200 OK\r\n" + utf8 + "Content-Length: " + std::to_string(page.size() + 100) + "\r\n\r\n" + page,
        After::kReset},
       false},
      {"bytes that are not HTTP", {"SSH-2.0-OpenSSH_9.2\r\n", After::kClose}, false},
      {"a redirect loop", loopback::HttpReply("302 Found", "Location: /h\r\n", page), false},
      {"a redirect to file:", loopback::HttpReply("302 Found", "Location: file:///etc/passwd\r\n", page), false},
      {"a redirect to ftp:", loopback::HttpReply("302 Found", "Location: ftp://1000eb.com/f/4096\r\n", page), false},
      {"1 GiB of page: cut at the 64 MiB cap",
       {"HTTP/1.1 200 OK\r\n" + utf8 + "\r\n" + page, After::kClose, 0, 0, std::size_t{1} << 30}, false},
  };
  for (const Case& c : cases) {
    site_.reset();
    site_ = loopback::StartServer(
        [&c, site = fixture::Site()](const std::string& request) {
          return loopback::RequestPath(request) == "/h" ? c.reply : site(request);
        },
        80);
    const int64_t before = StatusKiB("VmRSS");
    EXPECT_EQ(Resolve("http://1000eb.com/h"), c.resolves ? share.directAddress : "(null)") << c.what;
    const std::vector<std::string> requests = Requests();
    ASSERT_FALSE(requests.empty()) << c.what;
    EXPECT_TRUE(requests.back().starts_with("GET " + DownloadListTarget(c.resolves ? share.query : empty) + " "))
        << c.what;
    // The 1 GiB page costs the 64 MiB buffer and the smaller ones it grew
    // from; a quarter of what was sent leaves room for the sanitizers, which
    // hold freed memory back.
    EXPECT_LT((StatusKiB("VmHWM") - before) / 1024, 256) << c.what;
  }
}

}  // namespace
}  // namespace brelk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Before any thread exists: the mount namespace needs a single thread.
  brelk::inPrivateNetwork =
      brelk::testing::EnterPrivateNetwork(brelk::fixture::AllHostNames(), &brelk::whyNot);
  return RUN_ALL_TESTS();
}
