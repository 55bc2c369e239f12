// A small raw HTTP server for tests: it listens on one address (127.0.0.1 by
// default, an ephemeral port unless one is given), records the exact bytes of
// every request it receives, and answers each with the raw bytes a handler
// returns. Replies can also misbehave: trickle, never answer, close or reset
// the connection part-way, or send bytes that are not HTTP at all.
//
// Requests are framed the HTTP/1.1 way: a head up to the empty line, then as
// many body bytes as its Content-Length says (chunked request bodies are not
// understood). Each connection is served by a thread of its own and stays
// open for further requests unless the reply says otherwise.
//
//   auto server = StartServer(Routes({{"/a", HttpReply("200 OK", "", "hi")}}));
//   ... fetch ServerUrl(*server, "/a") ...
//   EXPECT_EQ(ServerRequests(*server).size(), 1u);
#ifndef BRELK_TESTS_SUPPORT_LOOPBACK_SERVER_H_
#define BRELK_TESTS_SUPPORT_LOOPBACK_SERVER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brelk::loopback {

// What happens on the connection once a reply's bytes are out.
enum class After {
  kKeepOpen,  // read the next request on the same connection
  kClose,     // close the connection normally
  kReset,     // abort it with a TCP reset
  kHold,      // keep it open, read and discard, never answer again
};

// Reply: the raw bytes to send and how to send them.
struct Reply {
  std::string bytes;
  After after = After::kKeepOpen;
  int trickleMs = 0;  // > 0: one byte at a time, this many ms apart,
  std::size_t trickleFrom = 0;  // from this offset on (the rest at once)
  // Then fillBytes more bytes of 'x', made as they are sent, so a reply of
  // any size costs no memory; kEndless sends until the client goes away.
  std::size_t fillBytes = 0;
};

inline constexpr std::size_t kEndless = static_cast<std::size_t>(-1);

// A handler gets the exact bytes of one request and returns the reply. It
// runs on the connection's thread, so it may be called concurrently.
using Handler = std::function<Reply(const std::string& request)>;

struct Server;
// Stops the server (see StopServer) and frees it.
struct ServerDeleter {
  void operator()(Server* server) const noexcept;
};
using ServerPtr = std::unique_ptr<Server, ServerDeleter>;

// StartServer(): listens on address:port (port 0: an ephemeral one) and
// serves every connection with handler until stopped. Aborts the test
// program when the socket cannot be set up.
ServerPtr StartServer(Handler handler, uint16_t port = 0,
                      const std::string& address = "127.0.0.1");

// ServeFromChildProcess(): serves handler on address:port from a child
// process, so that a program that measures itself (its memory, its file
// descriptors, its time) does not count the server's. Returns once the
// child listens; the child ends when the calling process ends. Call it
// before the calling process starts any thread. Aborts the program when the
// child cannot be started.
void ServeFromChildProcess(Handler handler, uint16_t port, const std::string& address = "127.0.0.1");

// ServerPort(): the port it listens on.
uint16_t ServerPort(const Server& server);

// ServerUrl(): "http://address:port" followed by path.
std::string ServerUrl(const Server& server, std::string_view path = "/");

// ServerRequests(): a copy of every request received so far, in the order
// they were complete. A request cut short by its client is kept as far as it
// came.
std::vector<std::string> ServerRequests(const Server& server);

// StopServer(): stops listening, wakes every connection (trickling and held
// ones too), closes them and joins their threads. Safe to call twice.
void StopServer(Server& server);

// ---------------------------------------------------------------------------
// Building replies and handlers

// HttpReply(): "HTTP/1.1 " + status, the header lines (each ending in CR LF,
// or empty), Content-Length of body, the empty line and body.
//   HttpReply("302 Found", "Location: /b\r\n", "")
Reply HttpReply(std::string_view status, std::string_view headerLines,
                std::string_view body);

// RequestPath(): the target of the request line ("/a?b", or a whole URL
// when the request went to a proxy); empty when there is none.
std::string RequestPath(const std::string& request);

// RequestHeader(): the value of the first header of that name (ASCII case
// ignored), trimmed of blanks; empty when absent.
std::string RequestHeader(const std::string& request, std::string_view name);

// Routes(): answers each path with its canned reply, anything else with 404.
Handler Routes(std::map<std::string, Reply> replies);

// BasicAuthProxy(): a proxy that wants Basic credentials user:password. A
// request without them, or with others, is answered 407 with a
// Proxy-Authenticate challenge; an authorised one is answered by inner in
// place of the origin server.
Handler BasicAuthProxy(std::string user, std::string password, Handler inner);

}  // namespace brelk::loopback

#endif  // BRELK_TESTS_SUPPORT_LOOPBACK_SERVER_H_
