// The loopback test server. One acceptor thread, one thread per connection;
// every blocking wait polls the connection together with a wake pipe that
// StopServer writes once and nobody reads, so all waits end together.
#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace brelk::loopback {

struct Server {
  Handler handler;
  std::string address;
  uint16_t port = 0;
  int listenFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::thread acceptor;

  mutable std::mutex mutex;  // guards everything below
  bool stopping = false;
  std::vector<std::string> requests;
  // Connections by serial number; a connection that is done puts its
  // number in finished, and the acceptor joins it at the next accept, so a
  // long run does not keep a thread for every connection it ever had.
  std::map<uint64_t, std::thread> connections;
  std::vector<uint64_t> finished;
  uint64_t serial = 0;
};

namespace {

// A request head or body larger than this is a test gone wrong.
constexpr std::size_t kMaxRequest = 64u << 20;

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::abort();
}

void Record(Server& server, std::string request) {
  std::lock_guard<std::mutex> lock(server.mutex);
  server.requests.push_back(std::move(request));
}

// WaitFor(): polls fd for events together with the wake pipe. True when fd
// is ready; false when the server stops or on an error.
bool WaitFor(const Server& server, int fd, short events) {
  pollfd fds[2] = {{fd, events, 0}, {server.wakeRead, POLLIN, 0}};
  for (;;) {
    int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) return false;
    return fds[0].revents != 0;
  }
}

// Pause(): sleeps ms, false when the server stops meanwhile.
bool Pause(const Server& server, int ms) {
  pollfd wake = {server.wakeRead, POLLIN, 0};
  return poll(&wake, 1, ms) == 0;
}

bool SendAll(const Server& server, int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    if (!WaitFor(server, fd, POLLOUT)) return false;
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// SendFill(): count bytes of 'x' (kEndless: until the send fails), a block
// at a time, or one byte every trickleMs when that is above 0.
bool SendFill(const Server& server, int fd, std::size_t count, int trickleMs) {
  static const std::string block(64u << 10, 'x');
  while (count > 0) {
    const std::size_t n = trickleMs > 0 ? 1 : std::min(count, block.size());
    if (!SendAll(server, fd, std::string_view(block).substr(0, n))) return false;
    if (trickleMs > 0 && !Pause(server, trickleMs)) return false;
    if (count != kEndless) count -= n;
  }
  return true;
}

bool SendReply(const Server& server, int fd, const Reply& reply) {
  const std::string_view bytes = reply.bytes;
  if (reply.trickleMs <= 0) {
    return SendAll(server, fd, bytes) && SendFill(server, fd, reply.fillBytes, 0);
  }
  if (!SendAll(server, fd, bytes.substr(0, reply.trickleFrom))) return false;
  for (std::size_t i = reply.trickleFrom; i < bytes.size(); ++i) {
    if (!SendAll(server, fd, bytes.substr(i, 1))) return false;
    if (!Pause(server, reply.trickleMs)) return false;
  }
  return SendFill(server, fd, reply.fillBytes, reply.trickleMs);
}

// RequestEnd(): the length of the first complete request in buffer, 0 while
// it is incomplete.
std::size_t RequestEnd(const std::string& buffer) {
  std::size_t headEnd = buffer.find("\r\n\r\n");
  if (headEnd == std::string::npos) return 0;
  headEnd += 4;
  std::string length = RequestHeader(buffer.substr(0, headEnd), "Content-Length");
  std::size_t body = length.empty() ? 0 : std::strtoull(length.c_str(), nullptr, 10);
  if (body > kMaxRequest) body = kMaxRequest;
  return buffer.size() >= headEnd + body ? headEnd + body : 0;
}

// ReadRequest(): the next request of the connection into request. False
// when the client closed first or the server stops; what had come of an
// unfinished request is recorded all the same.
bool ReadRequest(Server& server, int fd, std::string& buffer, std::string& request) {
  for (;;) {
    if (std::size_t end = RequestEnd(buffer); end != 0) {
      request = buffer.substr(0, end);
      buffer.erase(0, end);
      Record(server, request);
      return true;
    }
    char chunk[16384];
    ssize_t n = -1;
    if (buffer.size() <= 2 * kMaxRequest && WaitFor(server, fd, POLLIN)) {
      n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    }
    if (n <= 0) {
      if (!buffer.empty()) Record(server, std::move(buffer));
      return false;
    }
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

// Discard(): reads and drops whatever comes until the client closes or the
// server stops.
void Discard(const Server& server, int fd) {
  char chunk[4096];
  while (WaitFor(server, fd, POLLIN)) {
    ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
  }
}

void Serve(Server& server, int fd) {
  std::string buffer, request;
  while (ReadRequest(server, fd, buffer, request)) {
    Reply reply = server.handler(request);
    if (!SendReply(server, fd, reply)) break;
    if (reply.after == After::kKeepOpen) continue;
    if (reply.after == After::kReset) {
      linger abort = {1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (reply.after == After::kHold) {
      Discard(server, fd);
    }
    break;
  }
  close(fd);
}

void Accept(Server& server) {
  while (WaitFor(server, server.listenFd, POLLIN)) {
    int fd = accept4(server.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::vector<std::thread> done;
    {
      std::lock_guard<std::mutex> lock(server.mutex);
      if (server.stopping) {
        close(fd);
        break;
      }
      for (uint64_t id : server.finished) {
        done.push_back(std::move(server.connections[id]));
        server.connections.erase(id);
      }
      server.finished.clear();
      const uint64_t id = server.serial++;
      server.connections[id] = std::thread([&server, fd, id] {
        Serve(server, fd);
        std::lock_guard<std::mutex> finishing(server.mutex);
        server.finished.push_back(id);
      });
    }
    for (std::thread& thread : done) thread.join();
  }
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace

ServerPtr StartServer(Handler handler, uint16_t port, const std::string& address) {
  ServerPtr server(new Server);
  server->handler = std::move(handler);
  server->address = address;

  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) Fail("loopback server: pipe");
  server->wakeRead = wake[0];
  server->wakeWrite = wake[1];

  server->listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (server->listenFd < 0) Fail("loopback server: socket");
  int on = 1;
  setsockopt(server->listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in where = {};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) Fail("loopback server: address");
  if (bind(server->listenFd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    Fail("loopback server: bind");
  }
  if (listen(server->listenFd, 64) != 0) Fail("loopback server: listen");
  socklen_t size = sizeof where;
  getsockname(server->listenFd, reinterpret_cast<sockaddr*>(&where), &size);
  server->port = ntohs(where.sin_port);

  Server* raw = server.get();
  server->acceptor = std::thread([raw] { Accept(*raw); });
  return server;
}

void ServeFromChildProcess(Handler handler, uint16_t port, const std::string& address) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) Fail("loopback server: pipe");
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) Fail("loopback server: fork");
  if (child > 0) {
    close(ready[1]);
    char byte = 0;
    ssize_t n;
    while ((n = read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    close(ready[0]);
    if (n != 1) {
      std::fprintf(stderr, "loopback server: the child process did not start\n");
      std::abort();
    }
    return;
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(0);  // the parent is gone already
  close(ready[0]);
  ServerPtr server = StartServer(std::move(handler), port, address);
  const char byte = 1;
  if (write(ready[1], &byte, 1) != 1) _exit(1);
  for (;;) pause();
}

uint16_t ServerPort(const Server& server) { return server.port; }

std::string ServerUrl(const Server& server, std::string_view path) {
  return "http://" + server.address + ":" + std::to_string(server.port) + std::string(path);
}

std::vector<std::string> ServerRequests(const Server& server) {
  std::lock_guard<std::mutex> lock(server.mutex);
  return server.requests;
}

void StopServer(Server& server) {
  {
    std::lock_guard<std::mutex> lock(server.mutex);
    if (server.stopping) return;
    server.stopping = true;
  }
  char byte = 1;
  while (write(server.wakeWrite, &byte, 1) < 0 && errno == EINTR) {
  }
  server.acceptor.join();
  // The acceptor is gone, so the list no longer grows.
  for (auto& [id, connection] : server.connections) connection.join();
  close(server.listenFd);
  close(server.wakeRead);
  close(server.wakeWrite);
}

void ServerDeleter::operator()(Server* server) const noexcept {
  StopServer(*server);
  delete server;
}

Reply HttpReply(std::string_view status, std::string_view headerLines,
                std::string_view body) {
  std::string bytes = "HTTP/1.1 ";
  bytes += status;
  bytes += "\r\n";
  bytes += headerLines;
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  bytes += body;
  return Reply{std::move(bytes)};
}

std::string RequestPath(const std::string& request) {
  std::size_t start = request.find(' ');
  if (start == std::string::npos) return "";
  std::size_t end = request.find_first_of(" \r\n", start + 1);
  if (end == std::string::npos) return "";
  return request.substr(start + 1, end - start - 1);
}

std::string RequestHeader(const std::string& request, std::string_view name) {
  std::size_t headEnd = request.find("\r\n\r\n");
  std::string_view head = std::string_view(request).substr(0, headEnd);
  std::size_t line = head.find("\r\n");
  while (line != std::string_view::npos) {
    line += 2;
    std::size_t next = head.find("\r\n", line);
    std::string_view text = head.substr(line, next == std::string_view::npos ? head.npos : next - line);
    std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && SameIgnoringCase(text.substr(0, colon), name)) {
      std::string_view value = text.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      return std::string(value);
    }
    line = next;
  }
  return "";
}

Handler Routes(std::map<std::string, Reply> replies) {
  return [replies = std::move(replies)](const std::string& request) {
    auto found = replies.find(RequestPath(request));
    if (found != replies.end()) return found->second;
    return HttpReply("404 Not Found", "", "no such path");
  };
}

Handler BasicAuthProxy(std::string user, std::string password, Handler inner) {
  std::string expected = "Basic " + Base64(user + ":" + password);
  return [expected = std::move(expected), inner = std::move(inner)](const std::string& request) {
    if (RequestHeader(request, "Proxy-Authorization") == expected) return inner(request);
    return HttpReply("407 Proxy Authentication Required",
                     "Proxy-Authenticate: Basic realm=\"loopback\"\r\n",
                     "proxy authentication required");
  };
}

}  // namespace brelk::loopback
