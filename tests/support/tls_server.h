// A TLS front for the loopback server's handlers: it listens on one address
// and port, proves itself with a certificate made for the host names given
// (issued on the spot by a throw-away authority), reads each request head
// over TLS and answers it with the raw bytes of the handler's reply, one
// request per connection.
//
// For a client to trust it, the authority's certificate must be in the
// system's trust store; TrustOnlyAuthority() puts it there inside a private
// mount namespace (see sandbox.h), so nothing outside the test changes.
//
//   auto tls = StartTlsServer(Site(), 443, {"1000eb.com"});
//   TrustOnlyAuthority(TlsAuthorityPem(*tls), &why);
//   ... fetch https://1000eb.com/... ...
#ifndef BRELK_TESTS_SUPPORT_TLS_SERVER_H_
#define BRELK_TESTS_SUPPORT_TLS_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace brelk::loopback {

struct TlsServer;
struct TlsServerDeleter {
  void operator()(TlsServer* server) const noexcept;
};
using TlsServerPtr = std::unique_ptr<TlsServer, TlsServerDeleter>;

// StartTlsServer(): serves handler over TLS on address:port with a
// certificate for hostNames. Aborts the test program when the socket or the
// certificate cannot be set up. The reply's misbehaviours (trickling,
// holding, resetting) are not played: its bytes are sent as they are.
TlsServerPtr StartTlsServer(Handler handler, uint16_t port, const std::vector<std::string>& hostNames,
                            const std::string& address = "127.0.0.1");

// TlsAuthorityPem(): the authority's certificate, PEM-encoded.
std::string TlsAuthorityPem(const TlsServer& server);

// TlsRequests(): a copy of every request head received so far.
std::vector<std::string> TlsRequests(const TlsServer& server);

// TrustOnlyAuthority(): binds a file holding only pem over the system's
// bundle of trusted certificates. Call it in a private mount namespace.
// False with the reason in *why when it cannot.
bool TrustOnlyAuthority(const std::string& pem, std::string* why);

}  // namespace brelk::loopback

#endif  // BRELK_TESTS_SUPPORT_TLS_SERVER_H_
