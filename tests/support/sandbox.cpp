#include "support/sandbox.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace brelk::testing {
namespace {

std::string Failure(const char* step) {
  return std::string(step) + ": " + std::strerror(errno);
}

bool BringUpLoopback(std::string* why) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *why = Failure("socket");
    return false;
  }
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (ok) {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    ok = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  if (!ok) *why = Failure("bringing up lo");
  close(fd);
  return ok;
}

bool BindHostsFile(const std::vector<std::string>& hostNames, std::string* why) {
  char path[] = "/tmp/brelk-hosts-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    *why = Failure("mkstemp");
    return false;
  }
  std::string hosts = "127.0.0.1 localhost\n::1 localhost\n";
  for (const std::string& name : hostNames) hosts += "127.0.0.1 " + name + "\n";
  const bool written = write(fd, hosts.data(), hosts.size()) == static_cast<ssize_t>(hosts.size());
  fchmod(fd, 0644);
  close(fd);
  // Mounts made from now on stay inside this namespace. The kernel ignores
  // the file-system type of both calls; "none" rather than null keeps
  // memcheck from reporting the null.
  const bool ok = written && mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  mount(path, "/etc/hosts", "none", MS_BIND, nullptr) == 0;
  if (!ok) *why = Failure("binding the hosts file");
  unlink(path);  // the bind mount keeps the file alive
  return ok;
}

}  // namespace

bool EnterPrivateNetwork(const std::vector<std::string>& hostNames, std::string* why) {
  if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
    *why = Failure("unshare(CLONE_NEWNET | CLONE_NEWNS)");
    return false;
  }
  return BringUpLoopback(why) && BindHostsFile(hostNames, why);
}

}  // namespace brelk::testing
