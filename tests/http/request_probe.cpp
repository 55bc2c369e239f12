// request_probe: the request scenarios, run through WebRequest and printed
// the way its caller sees them. One source for the Linux and the Windows
// build, so the two platform layers can be set side by side (see
// request_differential.cpp, which serves the scenarios and compares).
//
//   request_probe PORT CLOSED_PORT
//
// For every scenario, against http://127.0.0.1:PORT/<name> (CLOSED_PORT: a
// port nothing listens on), one block:
//
//   == name
//   body hello\x00            the body WebRequest returned
//   scanned Set-Cookie: a=1    each response-header line the scan reads
//   received a=1;              receivedCookies
//   cookies a=1; c=3           cookies after the merge
//   redirect /next             redirectTarget
//
// Texts are printed with bytes outside printable ASCII as \xNN, so a CR LF
// inside one shows.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/http.h"

namespace brelk {
namespace {

std::string Escape(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

struct Scenario {
  const char* name;
  WebRequestOptions options;
  const char* cookiesIn = "";
  const char* redirectIn = "";
  bool closedPort = false;
};

// Print(): one block as the file comment shows it.
void Print(const char* name, const ByteString& body, const Text& responseHeaders,
           const Text& received, const Text& cookies, const Text& redirect) {
  std::printf("== %s\nbody %s\n", name, Escape(body.view()).c_str());
  std::string_view rest = responseHeaders.view();
  while (!rest.empty()) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    if (line.find("Location:") != line.npos || line.find("Set-Cookie") != line.npos) {
      std::printf("scanned %s\n", Escape(line).c_str());
    }
    if (end == rest.npos) break;
    rest.remove_prefix(end + 2);
  }
  std::printf("received %s\ncookies %s\nredirect %s\n", Escape(received.view()).c_str(),
              Escape(cookies.view()).c_str(), Escape(redirect.view()).c_str());
}

int Run(const std::string& port, const std::string& closedPort) {
  const ByteString bytes(std::string_view("\x01\x00\xFFz", 4));
  Scenario scenarios[] = {
      {"plain", {}},
      {"error-page", {}},
      {"zero-byte", {}},
      {"utf8-in-body", {}},
      {"utf8-in-header", {}},
      {"utf8-upper-case", {}},
      {"utf8-compressed", {.acceptCompressed = true}},
      {"cookies", {}, "a=0; c=3"},
      {"cookie-without-semicolon", {}},
      {"cookie-sent", {}, "a=0; c=3"},
      {"redirect-followed", {}},
      {"redirect-stopped", {.noRedirect = true}},
      {"content-location", {}},
      {"no-location", {}},
      {"no-location-kept", {}, "", "x"},
      {"post-text", {.method = 1, .bodyText = "a=1&b=%D6%D0"}},
      {"post-bytes", {.method = 1, .bodyText = "ignored", .bodyBytes = bytes}},
      {"get-method-2", {.method = 2}},
      {"one-header-line", {}},
      {"header-lines", {}},
      {"unreachable", {}, "a=0", "x", true},
  };
  for (Scenario& s : scenarios) {
    Text cookies(s.cookiesIn), received, responseHeaders, redirect(s.redirectIn), headers;
    if (std::string_view(s.name) == "one-header-line") headers = "X-A: 1";
    if (std::string_view(s.name) == "header-lines") headers = "X-A: 1\r\n\r\nX-B: 2\r\n";
    WebRequestOptions options = s.options;
    options.cookies = &cookies;
    options.receivedCookies = &received;
    options.responseHeaders = &responseHeaders;
    options.redirectTarget = &redirect;
    options.headers = &headers;
    const std::string url =
        "http://127.0.0.1:" + (s.closedPort ? closedPort : port) + "/" + s.name;
    const ByteString body = WebRequest(Text(url), options);
    Print(s.name, body, responseHeaders, received, cookies, redirect);
  }
  return 0;
}

}  // namespace
}  // namespace brelk

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: request_probe PORT CLOSED_PORT\n");
    return 2;
  }
  return brelk::Run(argv[1], argv[2]);
}
