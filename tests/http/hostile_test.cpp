// The web request routine against servers that misbehave on purpose: each
// request ends by the routine's own rules (the time-outs and their sum, the
// 64 MiB body cap, the 64 KiB head cap, the redirect rules), leaves the
// caller's variables as a failed request leaves them, and holds memory to
// a bound however much the server sends.
//
// The cases the request object's tests already cover (a silent server, a
// finite trickle, a reset or a close in the body, bytes that are not HTTP, a
// zero byte in the head, gzip and zero bytes in a body) are not repeated;
// the pipeline's own cases, an https redirect to http among them, are in
// tests/entry/export_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "http/http.h"
#include "support/loopback_server.h"
#include "support/printers.h"

namespace brelk {
namespace {

using loopback::After;
using loopback::HttpReply;
using loopback::kEndless;
using loopback::Reply;
using loopback::StartServer;

constexpr std::size_t kGiB = std::size_t{1} << 30;

// StatusKiB(): a "Vm...:" figure of /proc/self/status in KiB, -1 if absent.
int64_t StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field + ":")) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

// PeakGrowthMiB(): how far the peak resident memory of the process rose
// above what was resident before run, in MiB. Writing 5 to clear_refs sets
// the peak back to the present figure.
template <typename Run>
int64_t PeakGrowthMiB(Run run) {
  std::FILE* clear = std::fopen("/proc/self/clear_refs", "w");
  if (clear != nullptr) {
    std::fputs("5", clear);
    std::fclose(clear);
  }
  const int64_t before = StatusKiB("VmRSS");
  run();
  return (StatusKiB("VmHWM") - before) / 1024;
}

std::string ManySetCookieLines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    lines += "Set-Cookie: c" + std::to_string(i) + "=" + std::to_string(i) + "; path=/\r\n";
  }
  return lines;
}

TEST(WebRequest, FailsWithinItsBoundsAgainstHostileServers) {
  const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
  struct Case {
    const char* what;
    Reply reply;
  } cases[] = {
      {"a byte every 100 ms without end: the time-out sum ends it",
       {head, After::kClose, 100, head.size(), kEndless}},
      {"1 GiB without a length: cut at the 64 MiB body cap", {head, After::kClose, 0, 0, kGiB}},
      {"1 GiB declared: refused before it comes",
       {"HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n", After::kClose, 0, 0, kGiB}},
      {"20,000 Set-Cookie lines: over the 64 KiB head cap",
       HttpReply("200 OK", ManySetCookieLines(20000), "cookies")},
      {"a redirect to itself: the eleventh hop is not made",
       HttpReply("302 Found", "Location: /\r\n", "again")},
      {"a redirect to file: is not followed", HttpReply("302 Found", "Location: file:///etc/passwd\r\n", "")},
      {"a redirect to ftp: is not followed", HttpReply("302 Found", "Location: ftp://127.0.0.1/x\r\n", "")},
  };
  for (const Case& c : cases) {
    auto server = StartServer([&](const std::string&) { return c.reply; });
    Text cookies = " a=1", received = "r", redirect = "kept", response = "h";
    ByteString body("stale");
    const auto start = std::chrono::steady_clock::now();
    const int64_t growth = PeakGrowthMiB([&] {
      body = WebRequest(Text(loopback::ServerUrl(*server, "/")),
                        {.cookies = &cookies, .receivedCookies = &received, .redirectTarget = &redirect,
                         .responseHeaders = &response, .timeoutSeconds = 1});
    });
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(body, ByteString()) << c.what;
    EXPECT_EQ(response, Text()) << c.what;
    EXPECT_EQ(received, Text()) << c.what;
    EXPECT_EQ(redirect, Text("kept")) << c.what << ": no target of a failed request";
    EXPECT_EQ(cookies, Text("a=1")) << c.what << ": merged, nothing added";
    // One second per phase makes four at most; the margin is for a loaded
    // machine, not a speed requirement.
    EXPECT_LT(seconds, 4.0 + 3.0) << c.what;
    // The body buffer grows to the 64 MiB cap at most, through smaller
    // ones; a quarter of what was sent leaves room for the sanitizers,
    // which hold freed memory back.
    EXPECT_LT(growth, 256) << c.what;
  }
}

TEST(WebRequest, MergesEveryCookieOfAHeadThatFitsTheCap) {
  constexpr int kCount = 2000;  // about 52 KiB of Set-Cookie lines
  auto server = StartServer([](const std::string&) {
    return HttpReply("200 OK", ManySetCookieLines(kCount), "ok");
  });
  std::string want;
  for (int i = kCount - 1; i >= 0; --i) want = "c" + std::to_string(i) + "=" + std::to_string(i) + "; " + want;
  want.resize(want.size() - 2);

  Text cookies = "c0=old; z=9";
  EXPECT_EQ(WebRequest(Text(loopback::ServerUrl(*server, "/")), {.cookies = &cookies}), ByteString("ok"));
  EXPECT_EQ(cookies, Text(want + "; z=9"));
}

}  // namespace
}  // namespace brelk
