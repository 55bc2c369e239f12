// Both request layers side by side: the request scenarios of request_probe,
// run once through the Linux layer (libcurl) and once through the genuine
// request object of the Windows build (under wine), against one loopback
// server, and compared as WebRequest's caller sees them: the body (which
// echoes what the server received), the response-header lines the scan
// reads, the received and merged cookies and the redirect target.
//
//   request_differential [gtest flags] WINE_RUN PROBE_EXE LINUX_PROBE
//
// Where wine's object departs from the documented behaviour of the Windows
// one, the Linux layer follows the documentation; each such departure is a
// named rule below, applied only where it explains the whole difference, and
// the test reports how often each applied. Any other difference fails.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/command.h"
#include "support/loopback_server.h"

namespace brelk {
namespace {

std::string wineRun, windowsProbe, linuxProbe;

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", c);
    out += hex;
  }
  return out;
}

constexpr std::size_t kEchoWidth = 40;

// Echo(): what the server received, as one line the body carries back: the
// method and target, the request headers the routine sets (in the order
// they arrived; the transport's own, such as Host or Connection, left out)
// and the request body in hex.
std::string Echo(const std::string& request) {
  static const std::vector<std::string> kNames = {
      "referer", "accept", "accept-language", "user-agent", "content-type",
      "cookie",  "x-a",    "x-b",             "accept-encoding"};
  const std::size_t headEnd = request.find("\r\n\r\n");
  std::string echo = "[" + request.substr(0, request.find(' ')) + " " +
                     loopback::RequestPath(request) + " |";
  std::size_t line = request.find("\r\n") + 2;
  while (line < headEnd) {
    const std::size_t end = request.find("\r\n", line);
    const std::string header = request.substr(line, end - line);
    std::string name = header.substr(0, header.find(':'));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& wanted : kNames) {
      if (name == wanted) echo += " " + header + " |";
    }
    line = end + 2;
  }
  // Padded to a fixed width, so that the reply's length does not vary with
  // what was sent (a short body is all these scenarios send).
  std::string body = Hex(request.substr(headEnd + 4));
  if (body.size() < kEchoWidth) body.append(kEchoWidth - body.size(), '.');
  return echo + " body " + body + "]";
}

// Serve(): the scenarios' replies, by path.
loopback::Reply Serve(const std::string& request) {
  using loopback::HttpReply;
  const std::string path = loopback::RequestPath(request);
  const std::string echo = Echo(request);
  const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // UTF-8 of two ideographs
  const std::string plainHeaders = "Content-Type: text/plain\r\nX-Fixed: 1\r\n";
  if (path == "/error-page") return HttpReply("404 Not Found", plainHeaders, "<h1>gone</h1>" + echo);
  if (path == "/zero-byte") return HttpReply("200 OK", plainHeaders, std::string("a\0b", 3) + echo);
  if (path == "/utf8-in-body") {
    return HttpReply("200 OK", "Content-Type: text/html\r\n", "<meta charset=utf-8>" + chinese + echo);
  }
  if (path == "/utf8-in-header") {
    return HttpReply("200 OK", "Content-Type: text/html; charset=utf-8\r\n",
                     std::string(600, 'x') + "charset=utf-8" + chinese + echo);
  }
  if (path == "/utf8-upper-case" || path == "/utf8-compressed") {
    const char* charset = path == "/utf8-compressed" ? "utf-8" : "UTF-8";
    return HttpReply("200 OK", std::string("Content-Type: text/html; charset=") + charset + "\r\n",
                     std::string("<meta charset=") + charset + ">" + chinese + echo);
  }
  if (path == "/cookies") {
    return HttpReply("200 OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n", echo);
  }
  if (path == "/cookie-without-semicolon") return HttpReply("200 OK", "Set-Cookie: b=2\r\n", echo);
  if (path == "/redirect-followed") return HttpReply("302 Found", "Location: /plain\r\n", "moved");
  if (path == "/redirect-stopped") return HttpReply("302 Found", "Location: /next\r\n", "moved" + echo);
  if (path == "/content-location") return HttpReply("200 OK", "Content-Location: /a\r\n", echo);
  return HttpReply("200 OK", plainHeaders, "hello" + echo);
}

// ClosedPort(): a loopback port nothing listens on (bound, then let go).
uint16_t ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

// Blocks(): a probe's output, by scenario name.
std::map<std::string, std::vector<std::string>> Blocks(const std::string& command) {
  std::map<std::string, std::vector<std::string>> blocks;
  int status = 0;
  const std::string out = testing::CommandOutput(command, &status);
  EXPECT_EQ(status, 0) << command;
  std::vector<std::string>* block = nullptr;
  for (std::size_t at = 0; at < out.size();) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    at = end == std::string::npos ? out.size() : end + 1;
    if (line.starts_with("== ")) {
      block = &blocks[line.substr(3)];
    } else if (block != nullptr) {
      block->push_back(line);
    }
  }
  return blocks;
}

// The departures of wine's request object from the documented Windows one:
// each function takes a Windows line and gives it as documented Windows
// would have it, or returns it unchanged when the departure does not show
// in it.

// Wine's GetAllResponseHeaders starts with the status line; Windows gives
// the header lines alone. It shows where the redirect target falls back to
// the whole header text.
std::string DropStatusLine(const std::string& line) {
  if (!line.starts_with("redirect HTTP/1.1 ")) return line;
  const std::size_t end = line.find("\\x0D\\x0A");
  return end == std::string::npos ? line : "redirect " + line.substr(end + 8);
}

// Wine takes the upper bound plus one as the byte count of an array sent as
// the body, which holds for lower bound 0 only: with lower bound 1 it sends
// one byte past the array (whatever lies there). The Windows object sends
// the array's elements. It shows in the echoed request body.
std::string DropExtraByte(const std::string& line) {
  const std::size_t body = line.find("| body ");
  if (body == std::string::npos) return line;
  const std::size_t end = line.find_first_of(".]", body + 7);
  if (end == std::string::npos || end < body + 9) return line;
  std::string undone = line;
  undone.replace(end - 2, 2, "..");
  return undone;
}

TEST(RequestLayers, AgreeOnEveryScenarioButWinesDocumentedDepartures) {
  loopback::ServerPtr server = loopback::StartServer(Serve);
  const std::string ports =
      " " + std::to_string(loopback::ServerPort(*server)) + " " + std::to_string(ClosedPort());
  const auto linuxBlocks = Blocks(testing::QuoteWord(linuxProbe) + ports);
  const auto windows = Blocks(testing::QuoteWord(wineRun) + " " + testing::QuoteWord(windowsProbe) + ports);
  ASSERT_FALSE(linuxBlocks.empty());
  ASSERT_EQ(windows.size(), linuxBlocks.size()) << "the Windows probe did not run every scenario";

  std::map<std::string, int> applied;
  for (const auto& [scenario, linuxLines] : linuxBlocks) {
    const auto found = windows.find(scenario);
    ASSERT_NE(found, windows.end()) << scenario;
    std::vector<std::string> windowsLines = found->second;
    for (std::string& line : windowsLines) {
      // A departure counts only where undoing it gives the Linux line.
      const auto undo = [&](const std::string& undone, const char* what) {
        if (undone != line && std::find(linuxLines.begin(), linuxLines.end(), undone) != linuxLines.end()) {
          ++applied[what];
          line = undone;
        }
      };
      undo(DropStatusLine(line), "GetAllResponseHeaders starts with the status line");
      undo(DropExtraByte(line), "a byte body with lower bound 1 goes out with one byte more");
    }
    EXPECT_EQ(windowsLines, linuxLines) << "scenario " << scenario;
  }
  for (const auto& [what, count] : applied) {
    std::printf("wine departs from Windows (%d scenario(s)): %s\n", count, what.c_str());
  }
}

}  // namespace
}  // namespace brelk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s [gtest flags] WINE_RUN PROBE_EXE LINUX_PROBE\n", argv[0]);
    return 2;
  }
  brelk::wineRun = argv[1];
  brelk::windowsProbe = argv[2];
  brelk::linuxProbe = argv[3];
  brelk::testing::ForgetProxyEnvironment();
  return RUN_ALL_TESTS();
}
