// A private network for tests that must reach the file host's real names.
//
// EnterPrivateNetwork() moves the calling process into a new network and
// mount namespace with only a loopback interface, brought up, and binds a
// hosts file over /etc/hosts that maps the given names to 127.0.0.1. Nothing
// is faked above the system's own name lookup: the library under test
// resolves and connects exactly as it would on a real network, and every
// connection stays on this machine.
//
// Call it before any thread is started (unshare(2) refuses a multithreaded
// process for the mount namespace).
#ifndef BRELK_TESTS_SUPPORT_SANDBOX_H_
#define BRELK_TESTS_SUPPORT_SANDBOX_H_

#include <string>
#include <vector>

namespace brelk::testing {

// EnterPrivateNetwork(): true when the process now runs in the private
// network; otherwise false with the reason in *why (no privilege to create
// namespaces, for instance), and the process is unchanged.
bool EnterPrivateNetwork(const std::vector<std::string>& hostNames, std::string* why);

}  // namespace brelk::testing

#endif  // BRELK_TESTS_SUPPORT_SANDBOX_H_
