// brelk-fixture-site: runs a command against the fixture site.
//
//   brelk-fixture-site [--list] [COMMAND ARG...]
//
// Moves into a private network in which the file host's names point at this
// machine, serves the fixture site on port 80 there, runs COMMAND (which
// inherits the private network) and exits with its status. --list prints the
// share addresses the site serves.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/fixture_site.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"

extern char** environ;

int main(int argc, char** argv) {
  using namespace brelk;
  if (argc < 2) {
    std::fprintf(stderr, "usage: brelk-fixture-site [--list] [COMMAND ARG...]\n");
    return 2;
  }
  if (std::strcmp(argv[1], "--list") == 0) {
    for (const fixture::Share& share : {fixture::Utf8Share(), fixture::GbkShare(),
                                         fixture::RedirectShare(), fixture::CookieShare(),
                                         fixture::GoneShare(), fixture::OddValuesShare()}) {
      std::printf("%s\n", share.address.c_str());
    }
    return 0;
  }
  std::string why;
  if (!testing::EnterPrivateNetwork(fixture::AllHostNames(), &why)) {
    std::fprintf(stderr, "brelk-fixture-site: cannot make a private network (%s); run as root\n",
                 why.c_str());
    return 77;
  }
  loopback::ServerPtr site = loopback::StartServer(fixture::Site(), 80);
  std::fprintf(stderr, "brelk-fixture-site: serving %s and %s on 127.0.0.1:80\n",
               fixture::kShareHost, fixture::kDownloadListHost);
  pid_t pid;
  if (posix_spawnp(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
    std::perror(argv[1]);
    return 127;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
