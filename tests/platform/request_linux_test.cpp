#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/request_internal.h"
#include "support/loopback_server.h"
#include "support/printers.h"

namespace brelk::platform {
namespace {

using namespace std::string_literals;
using loopback::After;
using loopback::HttpReply;
using loopback::Reply;
using loopback::Routes;
using loopback::ServerRequests;
using loopback::ServerUrl;
using loopback::StartServer;

struct Outcome {
  bool opened = false;
  bool sent = false;
  std::string body;
  std::string headers;
};

// Fetch(): one request through a fresh object: Open, then configure, then
// Send with body, then both reads.
Outcome Fetch(const std::string& method, const std::string& url,
              const std::function<void(RequestObject*)>& configure = nullptr,
              const std::string& body = "") {
  Outcome outcome;
  InitComponentRuntime();
  RequestObject* request = CreateRequestObject();
  EXPECT_NE(request, nullptr);
  outcome.opened = Open(request, Text(method), Text(url), false);
  if (configure) configure(request);
  outcome.sent = SendBytes(request, ByteString(body));
  ByteString received;
  Text headers("stale");
  EXPECT_EQ(ReadResponseBody(request, received), outcome.sent);
  EXPECT_EQ(ReadAllResponseHeaders(request, headers), outcome.sent);
  outcome.body = std::string(received.view());
  outcome.headers = std::string(headers.view());
  ReleaseRequestObject(request);
  ReleaseComponentRuntime();
  return outcome;
}

std::string Host(const loopback::Server& server) {
  return "Host: 127.0.0.1:" + std::to_string(loopback::ServerPort(server)) + "\r\n";
}

// What the object sends of its own when the caller sets no Accept or no
// User-Agent: the first before the caller's headers, the second after.
const std::string kAccept = "Accept: */*\r\n";
const std::string kAgent = "User-Agent: Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)\r\n";

Reply Ok(std::string_view body = "ok") { return HttpReply("200 OK", "", body); }

TEST(RequestObject, SendsTheHeadersAsSetBetweenItsOwnAcceptAndUserAgent) {
  auto server = StartServer(Routes({{"/p", Ok()}}));
  const std::string host = Host(*server);
  const std::string big(2 << 20, 'b');  // large enough for curl to want 100-continue
  struct Case {
    const char* what;
    std::string method;
    std::vector<std::pair<const char*, const char*>> headers;
    std::string body;
    std::string want;
  } cases[] = {
      {"order as set, the Cookie header first, an empty value kept", "GET",
       {{"X-B", "2"}, {"Cookie", "c=1"}, {"X-A", "1"}, {"X-E", ""}}, "",
       "GET /p HTTP/1.1\r\n" + host + kAccept + "Cookie: c=1\r\nX-B: 2\r\nX-A: 1\r\nX-E:\r\n" + kAgent + "\r\n"},
      {"a GET sends no body even when given one; the caller's own Accept and User-Agent", "GET",
       {{"User-Agent", "u"}, {"Accept", "text/html"}}, "ignored",
       "GET /p HTTP/1.1\r\n" + host + "User-Agent: u\r\nAccept: text/html\r\n\r\n"},
      {"a POST sends its body with no Content-Type of curl's own", "POST", {{"X-A", "1"}}, "a=1&b=\xD6\xD0",
       "POST /p HTTP/1.1\r\n" + host + kAccept + "X-A: 1\r\n" + kAgent + "Content-Length: 8\r\n\r\na=1&b=\xD6\xD0"},
      {"an empty POST still says Content-Length", "POST", {}, "",
       "POST /p HTTP/1.1\r\n" + host + kAccept + kAgent + "Content-Length: 0\r\n\r\n"},
      {"a large POST does not wait for 100-continue", "POST", {{"Content-Type", "text/plain"}}, big,
       "POST /p HTTP/1.1\r\n" + host + kAccept + "Content-Type: text/plain\r\n" + kAgent + "Content-Length: " +
           std::to_string(big.size()) + "\r\n\r\n" + big},
  };
  for (const Case& c : cases) {
    Outcome got = Fetch(c.method, ServerUrl(*server, "/p"), [&](RequestObject* request) {
      for (const auto& [name, value] : c.headers) EXPECT_TRUE(SetRequestHeader(request, name, value));
    }, c.body);
    EXPECT_TRUE(got.sent) << c.what;
    EXPECT_EQ(got.body, "ok") << c.what;
    auto requests = ServerRequests(*server);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), c.want) << c.what;
  }
}

TEST(RequestObject, RefusesHeadersThatWouldBreakTheRequest) {
  auto server = StartServer(Routes({{"/p", Ok()}}));
  struct Case {
    const char* what;
    Text name, value;
  } refused[] = {
      {"empty name", "", "1"},
      {"CR LF in the value would add a header", "X-A", "1\r\nX-Evil: 1"},
      {"a lone LF in the value", "X-B", "1\nX-Evil: 2"},
      {"a lone CR in the name", "X-\rC", "1"},
      {"a colon in the name would change it", "X-D:X-Evil", "1"},
  };
  Outcome got = Fetch("GET", ServerUrl(*server, "/p"), [&](RequestObject* request) {
    for (const Case& c : refused) EXPECT_FALSE(SetRequestHeader(request, c.name, c.value)) << c.what;
    EXPECT_TRUE(SetRequestHeader(request, "X-Ok", "1"));
  });
  EXPECT_TRUE(got.sent);
  EXPECT_EQ(ServerRequests(*server).at(0), "GET /p HTTP/1.1\r\n" + Host(*server) + kAccept + "X-Ok: 1\r\n" + kAgent + "\r\n");

  // Before Open there is no request to add a header to.
  RequestObject* request = CreateRequestObject();
  EXPECT_FALSE(SetRequestHeader(request, "X-A", "1"));
  ReleaseRequestObject(request);
}

TEST(RequestObject, PercentEncodesTheUtf8OfCharactersOutsideAscii) {
  auto server = StartServer([](const std::string&) { return Ok(); });
  // GBK of 中文, then a GBK character whose trail byte is "@" (0x81 0x40, U+4E8C).
  Outcome got = Fetch("GET", ServerUrl(*server, "/\xD6\xD0\xCE\xC4/a b?q=\x81\x40&r=%41"));
  EXPECT_TRUE(got.sent);
  EXPECT_EQ(loopback::RequestPath(ServerRequests(*server).at(0)),
            "/%E4%B8%AD%E6%96%87/a%20b?q=%E4%B8%82&r=%41");
}

TEST(RequestObject, FetchesOnlyHttpAndHttps) {
  auto server = StartServer(Routes({
      {"/to-file", HttpReply("302 Found", "Location: file:///etc/passwd\r\n", "moved")},
      {"/to-ftp", HttpReply("302 Found", "Location: ftp://127.0.0.1:1/x\r\n", "moved")},
  }));
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://127.0.0.1/x"}) {
    Outcome got = Fetch("GET", url);
    EXPECT_FALSE(got.opened) << url;
    EXPECT_FALSE(got.sent) << url;
    EXPECT_EQ(got.body, "") << url;
  }
  for (const char* path : {"/to-file", "/to-ftp"}) {
    Outcome got = Fetch("GET", ServerUrl(*server, path));
    EXPECT_FALSE(got.sent) << path;
    EXPECT_EQ(got.body, "") << path;
    EXPECT_EQ(got.headers, "") << path;
  }
}

TEST(RequestObject, ClassifiesRedirects) {
  struct Case {
    const char* from;
    const char* to;
    RedirectStep want;
  } cases[] = {
      {"http://a/", "http://b/x", RedirectStep::kFollow},
      {"http://a/", "https://b/x", RedirectStep::kFollow},
      {"https://a/", "HTTPS://b/x", RedirectStep::kFollow},
      // Leaving https for http returns the redirect itself.
      {"https://a/", "http://a/x", RedirectStep::kStop},
      {"HTTPS://a/", "Http://a/x", RedirectStep::kStop},
      // Any other scheme fails the request.
      {"http://a/", "file:///etc/passwd", RedirectStep::kRefuse},
      {"https://a/", "ftp://a/x", RedirectStep::kRefuse},
      {"http://a/", "javascript:alert(1)", RedirectStep::kRefuse},
      {"http://a/", "", RedirectStep::kRefuse},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyRedirect(c.from, c.to), c.want) << c.from << " -> " << c.to;
  }
}

// Hop(): /n/<k> redirects to /n/<k-1>; /n/0 answers.
Reply Hop(const std::string& request) {
  const std::string path = loopback::RequestPath(request);
  const int k = std::atoi(path.c_str() + 3);
  if (k == 0) return HttpReply("200 OK", "X-Hop: 0\r\n", "arrived");
  return HttpReply("302 Found", "X-Hop: " + std::to_string(k) + "\r\nLocation: /n/" + std::to_string(k - 1) + "\r\n",
                   "moved");
}

TEST(RequestObject, FollowsAtMostTenRedirectsAndKeepsOnlyTheLastHeaders) {
  auto server = StartServer(Hop);
  Outcome ten = Fetch("GET", ServerUrl(*server, "/n/10"));
  EXPECT_TRUE(ten.sent);
  EXPECT_EQ(ten.body, "arrived");
  EXPECT_EQ(ten.headers, "X-Hop: 0\r\nContent-Length: 7\r\n\r\n");

  Outcome eleven = Fetch("GET", ServerUrl(*server, "/n/11"));
  EXPECT_FALSE(eleven.sent);
  EXPECT_EQ(eleven.body, "");

  Outcome held = Fetch("GET", ServerUrl(*server, "/n/3"),
                       [](RequestObject* request) { EXPECT_TRUE(SetOption(request, 6, 0)); });
  EXPECT_TRUE(held.sent);
  EXPECT_EQ(held.body, "moved");
  EXPECT_EQ(held.headers, "X-Hop: 3\r\nLocation: /n/2\r\nContent-Length: 5\r\n\r\n");
}

TEST(RequestObject, RedirectsChangeMethodAndCarryCookiesOnlyToTheSameOrigin) {
  auto other = StartServer([](const std::string&) { return Ok("other"); });
  auto server = StartServer(Routes({
      {"/302", HttpReply("302 Found", "Location: /end\r\n", "")},
      {"/307", HttpReply("307 Temporary Redirect", "Location: /end\r\n", "")},
      {"/away", HttpReply("302 Found", "Location: " + ServerUrl(*other, "/end") + "\r\n", "")},
      {"/end", Ok()},
  }));
  const auto withHeaders = [](RequestObject* request) {
    SetRequestHeader(request, "Cookie", "sid=1");
    SetRequestHeader(request, "Authorization", "Basic eDp5");
    SetRequestHeader(request, "X-A", "1");
  };
  const std::string host = Host(*server);
  const std::string kept = kAccept + "Cookie: sid=1\r\nAuthorization: Basic eDp5\r\nX-A: 1\r\n" + kAgent;

  EXPECT_TRUE(Fetch("POST", ServerUrl(*server, "/302"), withHeaders, "a=1").sent);
  EXPECT_EQ(ServerRequests(*server).back(), "GET /end HTTP/1.1\r\n" + host + kept + "\r\n")
      << "a POST redirected by 302 goes on as a GET without body";

  EXPECT_TRUE(Fetch("POST", ServerUrl(*server, "/307"), withHeaders, "a=1").sent);
  EXPECT_EQ(ServerRequests(*server).back(),
            "POST /end HTTP/1.1\r\n" + host + kept + "Content-Length: 3\r\n\r\na=1")
      << "307 keeps method and body";

  Outcome away = Fetch("GET", ServerUrl(*server, "/away"), withHeaders);
  EXPECT_EQ(away.body, "other");
  EXPECT_EQ(ServerRequests(*other).back(), "GET /end HTTP/1.1\r\n" + Host(*other) + kAccept + "X-A: 1\r\n" + kAgent + "\r\n")
      << "cookies and credentials stay with the origin they were meant for";
}

TEST(RequestObject, ReturnsTheBodyAndHeadersAsReceived) {
  const std::string gzipped = "\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03\x4B\x04\x00\x43\xBE\xB7\xE8\x01\x00\x00\x00"s;
  struct Case {
    const char* what;
    std::string response;
    std::string body, headers;
  } cases[] = {
      {"compressed bodies are not decompressed",
       "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 21\r\n\r\n" + gzipped, gzipped,
       "Content-Encoding: gzip\r\nContent-Length: 21\r\n"},
      {"zero bytes in the body stay", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na\0b"s, "a\0b"s,
       "Content-Length: 3\r\n"},
      {"a chunked body is joined", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n1\r\nc\r\n0\r\n\r\n",
       "abc", "Transfer-Encoding: chunked\r\n"},
      {"an interim response is forgotten",
       "HTTP/1.1 100 Continue\r\nX-Early: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "",
       "Content-Length: 0\r\n"},
      {"bare LF line ends become CR LF, folded lines are joined",
       "HTTP/1.1 200 OK\nX-A: 1\nX-B: a\n\tb\nX-C: 2\nContent-Length: 0\n\n"s, "",
       "X-A: 1\r\nX-B: a b\r\nX-C: 2\r\nContent-Length: 0\r\n"},
      {"an error page is a response like any other", "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops", "oops",
       "Content-Length: 4\r\n"},
  };
  for (const Case& c : cases) {
    auto server = StartServer([&](const std::string&) { return Reply{c.response, After::kClose}; });
    Outcome got = Fetch("GET", ServerUrl(*server, "/"));
    EXPECT_TRUE(got.sent) << c.what;
    EXPECT_EQ(got.body, c.body) << c.what;
    EXPECT_EQ(got.headers, c.headers + "\r\n") << c.what;  // and the empty line
    EXPECT_EQ(loopback::RequestHeader(ServerRequests(*server).at(0), "Accept-Encoding"), "") << c.what;
  }
}

TEST(RequestObject, FailsWithoutAResponseOnBrokenOrOversizedReplies) {
  const std::size_t limit = std::size_t{64} << 20;
  const std::string hugeBody(limit + 1, 'x');
  struct Case {
    const char* what;
    Reply reply;
  } cases[] = {
      {"not HTTP at all", {"SSH-2.0-hello\r\n", After::kClose}},
      {"a zero byte in the head", {"HTTP/1.1 200 OK\r\nX-\0A: 1\r\nContent-Length: 0\r\n\r\n"s, After::kClose}},
      {"closed part-way through the body", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", After::kClose}},
      {"reset part-way through the body", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", After::kReset}},
      {"a declared body over 64 MiB", {"HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n" + hugeBody}},
      {"an undeclared body over 64 MiB", {"HTTP/1.1 200 OK\r\n\r\n" + hugeBody, After::kClose}},
      {"a head over 64 KiB",
       {"HTTP/1.1 200 OK\r\nX-Big: " + std::string(64 << 10, 'h') + "\r\nContent-Length: 0\r\n\r\n", After::kClose}},
  };
  for (const Case& c : cases) {
    auto server = StartServer([&](const std::string&) { return c.reply; });
    Outcome got = Fetch("GET", ServerUrl(*server, "/"));
    EXPECT_FALSE(got.sent) << c.what;
    EXPECT_EQ(got.body.size(), 0u) << c.what;
    EXPECT_EQ(got.headers, "") << c.what;
  }

  // A body of exactly 64 MiB is still a response.
  auto server = StartServer([&](const std::string&) {
    return Reply{"HTTP/1.1 200 OK\r\n\r\n" + hugeBody.substr(1), After::kClose};
  });
  Outcome got = Fetch("GET", ServerUrl(*server, "/"));
  EXPECT_TRUE(got.sent);
  EXPECT_EQ(got.body.size(), limit);
}

TEST(RequestObject, TimeOutsEndSilentAndTricklingServers) {
  const auto quick = [](RequestObject* request) { SetTimeouts(request, 1000, 1000, 1000, 1000); };

  auto silent = StartServer([](const std::string&) { return Reply{"", After::kHold}; });
  Outcome unanswered = Fetch("GET", ServerUrl(*silent, "/"), quick);
  EXPECT_FALSE(unanswered.sent);
  EXPECT_EQ(unanswered.body, "");

  // Ten bytes a second beats any low-speed limit; 600 bytes would take a
  // minute, far beyond the 4 s the four limits add up to.
  auto trickling = StartServer([](const std::string&) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\n";
    return Reply{head + std::string(600, 't'), After::kClose, 100, head.size()};
  });
  Outcome trickled = Fetch("GET", ServerUrl(*trickling, "/"), quick);
  EXPECT_FALSE(trickled.sent);
  EXPECT_EQ(trickled.body, "");
}

TEST(RequestObject, UsesAProxyOnlyWhenToldAndAnswersItsBasicChallenge) {
  auto origin = StartServer([](const std::string&) { return Ok("direct"); });
  auto proxy = StartServer(loopback::BasicAuthProxy("u\xD6\xD0", "p:w", [](const std::string&) {
    return Ok("via proxy");
  }));
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(loopback::ServerPort(*proxy));
  const std::string target = ServerUrl(*origin, "/x");

  // The environment's proxy settings are not read.
  setenv("http_proxy", ("http://" + proxyAddress).c_str(), 1);
  setenv("HTTP_PROXY", ("http://" + proxyAddress).c_str(), 1);
  setenv("ALL_PROXY", ("http://" + proxyAddress).c_str(), 1);
  Outcome direct = Fetch("GET", target);
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  unsetenv("ALL_PROXY");
  EXPECT_EQ(direct.body, "direct");
  EXPECT_TRUE(ServerRequests(*proxy).empty());

  struct Case {
    const char* what;
    bool credentials;
    Text user, password;
    std::string body;
  } cases[] = {
      {"no credentials: the proxy's 407 page", false, "", "", "proxy authentication required"},
      {"wrong credentials: 407 again", true, "u\xD6\xD0", "p:x", "proxy authentication required"},
      {"right credentials, GBK bytes and a colon in them", true, "u\xD6\xD0", "p:w", "via proxy"},
  };
  for (const Case& c : cases) {
    Outcome got = Fetch("GET", target, [&](RequestObject* request) {
      EXPECT_TRUE(SetProxy(request, 2, Text(proxyAddress)));
      if (c.credentials) SetProxyCredentials(request, c.user, c.password, 0);
    });
    EXPECT_TRUE(got.sent) << c.what;
    EXPECT_EQ(got.body, c.body) << c.what;
    EXPECT_EQ(loopback::RequestPath(ServerRequests(*proxy).back()), target) << c.what;
  }
  EXPECT_EQ(ServerRequests(*origin).size(), 1u) << "only the direct request reached the origin";

  // A proxy that is not an HTTP proxy fails the request instead of going
  // around it.
  Outcome refused = Fetch("GET", target, [&](RequestObject* request) {
    EXPECT_FALSE(SetProxy(request, 2, Text("socks5://" + proxyAddress)));
  });
  EXPECT_FALSE(refused.sent);
  EXPECT_EQ(ServerRequests(*origin).size(), 1u);
}

}  // namespace
}  // namespace brelk::platform
