// The TLS front: one thread accepts and serves the connections one after
// the other; its waits poll a wake pipe too, so stopping ends them.
#include "support/tls_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace brelk::loopback {

struct TlsServer {
  Handler handler;
  SSL_CTX* context = nullptr;
  std::string authorityPem;
  int listenFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::thread acceptor;
  mutable std::mutex mutex;
  std::vector<std::string> requests;
};

namespace {

// Where libcurl and OpenSSL on Debian find the trusted certificates.
constexpr const char* kTrustBundle = "/etc/ssl/certs/ca-certificates.crt";
constexpr int kIoTimeoutSeconds = 5;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "tls server: %s\n", what);
  ERR_print_errors_fp(stderr);
  std::abort();
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr || X509_add_ext(certificate, extension, -1) != 1) Fail("extension");
  X509_EXTENSION_free(extension);
}

// Certificate(): an unsigned certificate for key, named commonName, valid
// from an hour ago for a day, issued by issuer (itself when null).
X509* Certificate(EVP_PKEY* key, const char* commonName, X509* issuer, long serial) {
  X509* certificate = X509_new();
  if (certificate == nullptr) Fail("X509_new");
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                             -1, 0);
  X509_set_issuer_name(certificate, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  return certificate;
}

void Sign(X509* certificate, EVP_PKEY* key) {
  if (X509_sign(certificate, key, EVP_sha256()) == 0) Fail("X509_sign");
}

std::string Pem(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return pem;
}

// MakeContext(): a server context whose certificate names hostNames and is
// issued by a fresh authority, whose certificate goes to *authorityPem.
SSL_CTX* MakeContext(const std::vector<std::string>& hostNames, std::string* authorityPem) {
  EVP_PKEY* authorityKey = EVP_EC_gen("P-256");
  EVP_PKEY* serverKey = EVP_EC_gen("P-256");
  if (authorityKey == nullptr || serverKey == nullptr) Fail("EVP_EC_gen");

  X509* authority = Certificate(authorityKey, "brelk test authority", nullptr, 1);
  AddExtension(authority, authority, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(authority, authority, NID_key_usage, "critical,keyCertSign,cRLSign");
  Sign(authority, authorityKey);

  X509* server = Certificate(serverKey, hostNames.at(0).c_str(), authority, 2);
  std::string names;
  for (const std::string& host : hostNames) names += (names.empty() ? "DNS:" : ",DNS:") + host;
  AddExtension(server, authority, NID_subject_alt_name, names.c_str());
  AddExtension(server, authority, NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(server, authority, NID_ext_key_usage, "serverAuth");
  Sign(server, authorityKey);

  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr || SSL_CTX_use_certificate(context, server) != 1 ||
      SSL_CTX_use_PrivateKey(context, serverKey) != 1) {
    Fail("SSL_CTX");
  }
  *authorityPem = Pem(authority);
  X509_free(server);
  X509_free(authority);
  EVP_PKEY_free(serverKey);
  EVP_PKEY_free(authorityKey);
  return context;
}

// ReadHead(): the request head, up to and including the empty line; what
// came when the connection ends or fails first.
std::string ReadHead(SSL* ssl) {
  std::string head;
  char chunk[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < (64u << 10)) {
    const int n = SSL_read(ssl, chunk, sizeof chunk);
    if (n <= 0) break;
    head.append(chunk, static_cast<std::size_t>(n));
  }
  return head;
}

void ServeOne(TlsServer& server, int fd) {
  const timeval limit = {kIoTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  SSL* ssl = SSL_new(server.context);
  SSL_set_fd(ssl, fd);
  if (SSL_accept(ssl) == 1) {
    const std::string request = ReadHead(ssl);
    {
      std::lock_guard<std::mutex> lock(server.mutex);
      server.requests.push_back(request);
    }
    const std::string reply = server.handler(request).bytes;
    std::size_t sent = 0;
    while (sent < reply.size()) {
      const int n = SSL_write(ssl, reply.data() + sent, static_cast<int>(reply.size() - sent));
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    SSL_shutdown(ssl);
  }
  SSL_free(ssl);
  close(fd);
}

void Accept(TlsServer& server) {
  pollfd fds[2] = {{server.listenFd, POLLIN, 0}, {server.wakeRead, POLLIN, 0}};
  for (;;) {
    const int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) return;
    const int fd = accept4(server.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) ServeOne(server, fd);
  }
}

}  // namespace

TlsServerPtr StartTlsServer(Handler handler, uint16_t port, const std::vector<std::string>& hostNames,
                            const std::string& address) {
  TlsServerPtr server(new TlsServer);
  server->handler = std::move(handler);
  server->context = MakeContext(hostNames, &server->authorityPem);

  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) Fail("pipe");
  server->wakeRead = wake[0];
  server->wakeWrite = wake[1];
  server->listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (server->listenFd < 0) Fail("socket");
  int on = 1;
  setsockopt(server->listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in where = {};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) Fail("address");
  if (bind(server->listenFd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) Fail("bind");
  if (listen(server->listenFd, 16) != 0) Fail("listen");
  TlsServer* raw = server.get();
  server->acceptor = std::thread([raw] { Accept(*raw); });
  return server;
}

void TlsServerDeleter::operator()(TlsServer* server) const noexcept {
  char byte = 1;
  while (write(server->wakeWrite, &byte, 1) < 0 && errno == EINTR) {
  }
  server->acceptor.join();
  close(server->listenFd);
  close(server->wakeRead);
  close(server->wakeWrite);
  SSL_CTX_free(server->context);
  delete server;
}

std::string TlsAuthorityPem(const TlsServer& server) { return server.authorityPem; }

std::vector<std::string> TlsRequests(const TlsServer& server) {
  std::lock_guard<std::mutex> lock(server.mutex);
  return server.requests;
}

bool TrustOnlyAuthority(const std::string& pem, std::string* why) {
  char path[] = "/tmp/brelk-trust-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    *why = std::string("mkstemp: ") + std::strerror(errno);
    return false;
  }
  const bool written = write(fd, pem.data(), pem.size()) == static_cast<ssize_t>(pem.size());
  fchmod(fd, 0644);
  close(fd);
  const bool ok = written && mount(path, kTrustBundle, "none", MS_BIND, nullptr) == 0;
  if (!ok) *why = std::string("binding the trust bundle: ") + std::strerror(errno);
  unlink(path);  // the bind mount keeps the file alive
  return ok;
}

}  // namespace brelk::loopback
