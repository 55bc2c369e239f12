#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "http/http.h"
#include "platform/request_internal.h"
#include "support/loopback_server.h"
#include "support/printers.h"

namespace brelk {
namespace {

using namespace std::string_literals;
using loopback::After;
using loopback::HttpReply;
using loopback::Reply;
using loopback::RequestHeader;
using loopback::RequestPath;
using loopback::Routes;
using loopback::ServerRequests;
using loopback::ServerUrl;
using loopback::StartServer;

const char kDefaultBlockTail[] =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; "
    "KQ7VX; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)\r\nContent-Type: "
    "application/x-www-form-urlencoded";

std::string Host(const loopback::Server& server) {
  return "Host: 127.0.0.1:" + std::to_string(loopback::ServerPort(server)) + "\r\n";
}

// The request object's own Accept and User-Agent lines.
const std::string kAccept = "Accept: */*\r\n";
const std::string kAgent = "User-Agent: Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)\r\n";

// HeaderSection(): the header lines of a recorded request after Host, up to
// and including the empty line.
std::string HeaderSection(const std::string& request) {
  const std::size_t host = request.find("\r\nHost: ");
  const std::size_t start = request.find("\r\n", host + 2) + 2;
  return request.substr(start, request.find("\r\n\r\n") + 4 - start);
}

std::string Body(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

TEST(WebRequest, GivenOnlyTheAddressSendsTheDefaultBlockAndFollowsRedirects) {
  auto server = StartServer(Routes({
      {"/start", HttpReply("302 Found", "Location: /page\r\n", "")},
      {"/page", HttpReply("200 OK", "", "the page")},
  }));
  const std::string url = ServerUrl(*server, "/start");

  EXPECT_EQ(WebRequest(Text(url)), ByteString("the page"));

  const auto requests = ServerRequests(*server);
  ASSERT_EQ(requests.size(), 2u);
  const std::string block = "Referer: " + url + kDefaultBlockTail;
  EXPECT_EQ(requests[0], "GET /start HTTP/1.1\r\n" + Host(*server) + block + "\r\n\r\n");
  EXPECT_EQ(RequestPath(requests[1]), "/page");
  EXPECT_EQ(HeaderSection(requests[1]), block + "\r\n\r\n") << "the same headers go to the redirect target";

  Text headers;
  WebRequest(Text(url), {.headers = &headers});
  EXPECT_EQ(headers, Text(block)) << "an empty headers variable receives the default block";
}

TEST(WebRequest, KeepsCrLfOfTheAddressOutOfTheDefaultBlock) {
  auto server = StartServer([](const std::string&) { return HttpReply("200 OK", "", "ok"); });
  const std::string url = ServerUrl(*server, "/a?v=1\r\nX-Evil: 1\r\n\r\nGET /b");
  const std::string referer = ServerUrl(*server, "/a?v=1%0D%0AX-Evil: 1%0D%0A%0D%0AGET /b");
  Text headers;
  EXPECT_EQ(WebRequest(Text(url), {.headers = &headers}), ByteString("ok"));
  EXPECT_EQ(headers, Text("Referer: " + referer + kDefaultBlockTail));
  const auto requests = ServerRequests(*server);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], "GET /a?v=1%0D%0AX-Evil:%201%0D%0A%0D%0AGET%20/b HTTP/1.1\r\n" + Host(*server) +
                             "Referer: " + referer + kDefaultBlockTail + "\r\n\r\n");
}

TEST(WebRequest, SetsTimeOutsFromSeconds) {
  auto server = StartServer(Routes({{"/", HttpReply("200 OK", "", "ok")}}));
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  struct Case {
    int32_t seconds;
    bool set;
    int32_t ms;
  } cases[] = {
      {-1, false, 0},              // the object's own defaults stay
      {0, true, 15000},            // below 1: 15 s
      {-5, true, 15000},
      {20, true, 20000},           // seconds times 1000
      {2147483, true, 2147483000},  // the largest product that fits
      {2147484, true, kMax},        // beyond the 32-bit range: held at the largest
      {kMax, true, kMax},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WebRequest(Text(ServerUrl(*server, "/")), {.timeoutSeconds = c.seconds}), ByteString("ok"));
    const platform::RequestSettings got = platform::LastReleasedRequest();
    EXPECT_EQ(got.timeoutsSet, c.set) << c.seconds;
    if (!c.set) {
      EXPECT_EQ(got.connectMs, 60000) << c.seconds;
      continue;
    }
    EXPECT_EQ(got.resolveMs, c.ms) << c.seconds;
    EXPECT_EQ(got.connectMs, c.ms) << c.seconds;
    EXPECT_EQ(got.sendMs, c.ms) << c.seconds;
    EXPECT_EQ(got.receiveMs, c.ms) << c.seconds;
  }
}

TEST(WebRequest, SendsPostOnlyForMethodOneAndTheByteBodyBeforeTheText) {
  auto server = StartServer([](const std::string&) { return HttpReply("200 OK", "", ""); });
  struct Case {
    const char* what;
    int32_t method;
    Text bodyText;
    ByteString bodyBytes;
    std::string requestLine, body;
  } cases[] = {
      {"1 is POST, with the text body", 1, "a=\xD6\xD0", ByteString(), "POST / HTTP/1.1", "a=\xD6\xD0"},
      {"the byte body wins over the text", 1, "text", ByteString("b\0y"s), "POST / HTTP/1.1", "b\0y"s},
      {"0 is GET, which sends no body", 0, "text", ByteString(), "GET / HTTP/1.1", ""},
      {"2 is GET", 2, "", ByteString(), "GET / HTTP/1.1", ""},
      {"-1 is GET", -1, "", ByteString("bytes"), "GET / HTTP/1.1", ""},
  };
  for (const Case& c : cases) {
    WebRequest(Text(ServerUrl(*server, "/")),
               {.method = c.method, .bodyText = c.bodyText, .bodyBytes = c.bodyBytes});
    const std::string request = ServerRequests(*server).back();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), c.requestLine) << c.what;
    EXPECT_EQ(Body(request), c.body) << c.what;
  }
}

TEST(WebRequest, SendsTheCookieAndTheCallersHeaderLines) {
  auto server = StartServer([](const std::string&) { return HttpReply("200 OK", "", ""); });
  struct Case {
    const char* what;
    Text headers, cookies;
    bool compressed;
    std::string sent;
  } cases[] = {
      // Where the caller's lines hold no Accept or User-Agent, the request
      // object adds its own, before and after them.
      {"one line without CR LF is one header, no default ones", "X-A: 1", "", false,
       kAccept + "X-A: 1\r\n" + kAgent + "\r\n"},
      {"empty pieces are skipped", "X-A: 1\r\n\r\nX-B: 2\r\n", "", false,
       kAccept + "X-A: 1\r\nX-B: 2\r\n" + kAgent + "\r\n"},
      {"the Cookie header comes first", "X-A: 1\r\nX-B: 2", "a=1; b=2", false,
       kAccept + "Cookie: a=1; b=2\r\nX-A: 1\r\nX-B: 2\r\n" + kAgent + "\r\n"},
      {"a line without a colon is refused, an empty value sent", "X-A: 1\r\nnot a header\r\nX-B:", "", false,
       kAccept + "X-A: 1\r\nX-B:\r\n" + kAgent + "\r\n"},
      {"a bare LF cannot smuggle in a header", "X-A: 1\nX-Evil: 2", "", false, kAccept + kAgent + "\r\n"},
      {"the compression line follows the caller's lines", "X-A: 1", "", true,
       kAccept + "X-A: 1\r\nAccept-Encoding: gzip, deflate\r\n" + kAgent + "\r\n"},
  };
  for (const Case& c : cases) {
    Text headers = c.headers, cookies = c.cookies;
    WebRequest(Text(ServerUrl(*server, "/")),
               {.cookies = &cookies, .headers = &headers, .acceptCompressed = c.compressed});
    EXPECT_EQ(HeaderSection(ServerRequests(*server).back()), c.sent) << c.what;
  }
}

TEST(WebRequest, AcceptCompressedAppendsTheLineAndLeavesTheBodyAlone) {
  const std::string utf8 = "charset=utf-8 \xE4\xB8\xAD";
  auto server = StartServer([&](const std::string&) {
    return HttpReply("200 OK", "Content-Type: text/html; charset=utf-8\r\nContent-Encoding: gzip\r\n", utf8);
  });
  const std::string url = ServerUrl(*server, "/");
  Text headers;
  EXPECT_EQ(WebRequest(Text(url), {.headers = &headers, .acceptCompressed = true}), ByteString(utf8));
  const std::string block = "Referer: " + url + kDefaultBlockTail + "\r\nAccept-Encoding: gzip, deflate";
  EXPECT_EQ(headers, Text(block));
  EXPECT_EQ(HeaderSection(ServerRequests(*server).back()), block + "\r\n\r\n");
}

TEST(WebRequest, TakesTheRedirectTargetFromTheLastLocationLine) {
  auto server = StartServer(Routes({
      {"/moved", HttpReply("302 Found", "Location: /next\r\n", "moved")},
      {"/both", HttpReply("200 OK", "Content-Location: /a\r\nX-Location: /b\r\n", "")},
      {"/plain", HttpReply("200 OK", "X-A: 1\r\n", "")},
  }));
  struct Case {
    const char* what;
    const char* path;
    Text onEntry;
    bool fallback;  // expect the whole response headers
    Text want;
    ByteString body;
  } cases[] = {
      {"a redirect held back leaves its target and is returned", "/moved", "", false, "/next", ByteString("moved")},
      {"any line holding Location: counts, the last wins", "/both", "x", false, "/b", ByteString()},
      {"none, empty on entry: the response headers", "/plain", "", true, "", ByteString()},
      {"none, set on entry: kept", "/plain", "x", false, "x", ByteString()},
  };
  for (const Case& c : cases) {
    Text redirectTarget = c.onEntry, responseHeaders;
    ByteString body = WebRequest(Text(ServerUrl(*server, c.path)),
                                 {.redirectTarget = &redirectTarget, .noRedirect = true,
                                  .responseHeaders = &responseHeaders});
    EXPECT_EQ(redirectTarget, c.fallback ? responseHeaders : c.want) << c.what;
    if (c.fallback) {
      EXPECT_EQ(responseHeaders, Text("X-A: 1\r\nContent-Length: 0\r\n\r\n")) << c.what;
    }
    EXPECT_EQ(body, c.body) << c.what;
  }
}

TEST(WebRequest, CollectsSetCookieLinesAndMergesThem) {
  auto server = StartServer(Routes({
      {"/two", HttpReply("200 OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n", "")},
      {"/bare", HttpReply("200 OK", "Set-Cookie: b=2\r\n", "")},
      {"/lower", HttpReply("200 OK", "set-cookie: d=4; path=/\r\n", "")},
  }));
  struct Case {
    const char* what;
    const char* path;
    Text cookies;
    Text wantReceived, wantCookies;
  } cases[] = {
      {"received values replace the sent ones", "/two", "a=0; c=3", "a=1;b=2;", "a=1; b=2; c=3"},
      {"a line without ';' gives an empty piece", "/bare", "", ";", ""},
      {"the line is found by its exact case", "/lower", "c=3", "", "c=3"},
  };
  for (const Case& c : cases) {
    Text cookies = c.cookies, received = "stale";
    WebRequest(Text(ServerUrl(*server, c.path)), {.cookies = &cookies, .receivedCookies = &received});
    EXPECT_EQ(received, c.wantReceived) << c.what;
    EXPECT_EQ(cookies, c.wantCookies) << c.what;
  }
  Text cookies = "a=0; c=3";
  WebRequest(Text(ServerUrl(*server, "/two")), {.cookies = &cookies});
  EXPECT_EQ(RequestHeader(ServerRequests(*server).back(), "Cookie"), "a=0; c=3");
}

TEST(WebRequest, ConvertsABodyThatDeclaresUtf8) {
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87", gbk = "\xD6\xD0\xCE\xC4";
  // At(p): "charset=utf-8" starting at 1-based position p, then UTF-8 text.
  const auto at = [](std::size_t p, const std::string& declaration) {
    return std::string(p - 1, ' ') + declaration;
  };
  struct Case {
    const char* what;
    std::string contentType, before;
    bool converted;
  } cases[] = {
      {"declared in the body at 499", "text/html", at(499, "charset=utf-8"), true},
      {"declared in the body at 500 only", "text/html", at(500, "charset=utf-8"), false},
      {"at 500, but the headers declare it", "text/html; charset=utf-8", at(500, "charset=utf-8"), true},
      {"the case must match", "text/html; charset=UTF-8", at(1, "charset=UTF-8"), false},
  };
  for (const Case& c : cases) {
    const std::string body = c.before + utf8;
    auto server = StartServer([&](const std::string&) {
      return HttpReply("200 OK", "Content-Type: " + c.contentType + "\r\n", body);
    });
    const std::string want = c.converted ? c.before + gbk : body;
    EXPECT_EQ(WebRequest(Text(ServerUrl(*server, "/"))), ByteString(want)) << c.what;
  }
}

TEST(WebRequestText, StopsAtTheFirstZeroByte) {
  auto server = StartServer([](const std::string&) { return HttpReply("200 OK", "", "ab\0cd"s); });
  EXPECT_EQ(WebRequest(Text(ServerUrl(*server, "/"))), ByteString("ab\0cd"s));
  EXPECT_EQ(WebRequestText(Text(ServerUrl(*server, "/"))), Text("ab"));
}

TEST(WebRequest, WritesNothingWhenTheObjectCannotBeCreated) {
  auto server = StartServer([](const std::string&) { return HttpReply("200 OK", "", "ok"); });
  Text cookies = "a=1", received = "r", headers = "", redirect = "", response = "h";
  platform::FailNextRequestCreation();
  ByteString body = WebRequest(Text(ServerUrl(*server, "/")),
                               {.cookies = &cookies, .receivedCookies = &received, .headers = &headers,
                                .redirectTarget = &redirect, .responseHeaders = &response});
  EXPECT_EQ(body, ByteString());
  EXPECT_EQ(cookies, Text("a=1"));
  EXPECT_EQ(received, Text("r"));
  EXPECT_EQ(headers, Text(""));
  EXPECT_EQ(redirect, Text(""));
  EXPECT_EQ(response, Text("h"));
  EXPECT_TRUE(ServerRequests(*server).empty());
}

TEST(WebRequest, AnUnreachableHostGivesEmptyResultsAndStillMergesCookies) {
  auto gone = StartServer([](const std::string&) { return HttpReply("200 OK", "", "ok"); });
  const std::string url = ServerUrl(*gone, "/");
  loopback::StopServer(*gone);  // nothing listens on its port now

  Text cookies = " a=1 ;b=2", received = "r", redirect = "x", response = "h";
  ByteString body = WebRequest(Text(url), {.cookies = &cookies, .receivedCookies = &received,
                                           .redirectTarget = &redirect, .responseHeaders = &response});
  EXPECT_EQ(body, ByteString());
  EXPECT_EQ(response, Text(""));
  EXPECT_EQ(received, Text(""));
  EXPECT_EQ(redirect, Text("x"));
  EXPECT_EQ(cookies, Text("a=1; b=2"));
}

TEST(WebRequest, EndsAgainstASilentServer) {
  auto silent = StartServer([](const std::string&) { return Reply{"", After::kHold}; });
  Text response = "h";
  EXPECT_EQ(WebRequest(Text(ServerUrl(*silent, "/")), {.responseHeaders = &response, .timeoutSeconds = 1}),
            ByteString());
  EXPECT_EQ(response, Text(""));
  EXPECT_EQ(ServerRequests(*silent).size(), 1u);
}

TEST(WebRequest, GoesThroughTheProxyWithItsCredentials) {
  auto origin = StartServer([](const std::string&) { return HttpReply("200 OK", "", "direct"); });
  auto proxy = StartServer(loopback::BasicAuthProxy("user", "secret", [](const std::string&) {
    return HttpReply("200 OK", "", "via proxy");
  }));
  const Text proxyAddress("127.0.0.1:" + std::to_string(loopback::ServerPort(*proxy)));
  const Text url(ServerUrl(*origin, "/page"));

  EXPECT_EQ(WebRequest(url, {.proxy = proxyAddress, .proxyUser = "user", .proxyPassword = "secret"}),
            ByteString("via proxy"));
  EXPECT_EQ(RequestPath(ServerRequests(*proxy).back()), std::string(url.view()));
  EXPECT_EQ(WebRequestText(url, {.proxy = proxyAddress, .proxyUser = "user", .proxyPassword = "wrong"}),
            Text("proxy authentication required"));

  struct Case {
    const char* what;
    bool text;
    Text proxy;
    std::optional<int32_t> flag;
    bool credentialsSet;
    int32_t wantFlag;
  } cases[] = {
      {"WebRequest: a left-out flag is 1", false, proxyAddress, std::nullopt, true, 1},
      {"an explicit 0 stays 0", false, proxyAddress, 0, true, 0},
      {"WebRequestText: a left-out flag is 0", true, proxyAddress, std::nullopt, true, 0},
      {"WebRequestText: an explicit 1 stays 1", true, proxyAddress, 1, true, 1},
      {"no proxy, no credentials", false, "", 1, false, 0},
  };
  for (const Case& c : cases) {
    const WebRequestOptions options = {.proxy = c.proxy, .timeoutSeconds = 1, .proxyUser = "user",
                                       .proxyPassword = "secret", .credentialFlag = c.flag};
    if (c.text) {
      WebRequestText(url, options);
    } else {
      WebRequest(url, options);
    }
    const platform::RequestSettings got = platform::LastReleasedRequest();
    EXPECT_EQ(got.credentialsSet, c.credentialsSet) << c.what;
    if (c.credentialsSet) {
      EXPECT_EQ(got.credentialFlag, c.wantFlag) << c.what;
    }
  }
  EXPECT_EQ(ServerRequests(*origin).size(), 1u) << "only the request without a proxy went direct";
}

}  // namespace
}  // namespace brelk
