// brelk-soak: many calls of the export in one process, the library loaded
// as a host loads it, against the fixture site in a private network.
//
//   brelk-soak [CALLS]        (default 10000; needs root for the network)
//
// The calls go round the fixture site's shares, each answer checked. The
// resident memory after the 100th call and at the end, and the open file
// descriptors after the first call and at the end, are printed. With 1,000
// calls or more the run fails (exit 1) when memory grew by 1 MiB or more
// after the 100th call; any run fails when the descriptors differ or an
// answer was wrong. Shorter runs are for memcheck, whose own memory would
// swamp the figure.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/fixture_site.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"

namespace {

using ExportFunction = const char* (*)(const char*);

constexpr int kWarmUpCalls = 100;
constexpr int kBoundedFrom = 1000;  // calls from which memory is judged
constexpr long kMemoryBoundKiB = 1024;

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  }
  return -1;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count - 3;  // ".", ".." and the directory's own descriptor
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brelk;
  const int calls = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (calls < 1) {
    std::fprintf(stderr, "usage: brelk-soak [CALLS]\n");
    return 2;
  }
  std::string why;
  if (!testing::EnterPrivateNetwork(fixture::AllHostNames(), &why)) {
    std::fprintf(stderr, "brelk-soak: no private network for the fixture site (%s); run as root\n",
                 why.c_str());
    return 77;
  }
  loopback::ServeFromChildProcess(fixture::Site(), 80);

  void* library = dlopen(BRELK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "brelk-soak: %s\n", dlerror());
    return 1;
  }
  const auto resolve = reinterpret_cast<ExportFunction>(dlsym(library, "Analysis_1000eb"));

  const std::vector<fixture::Share> shares = {fixture::Utf8Share(),     fixture::GbkShare(),
                                              fixture::RedirectShare(), fixture::CookieShare(),
                                              fixture::GoneShare(),     fixture::OddValuesShare()};
  int wrong = 0, descriptorsAfterFirst = 0;
  long residentAfterWarmUp = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= calls; ++i) {
    const fixture::Share& share = shares[static_cast<std::size_t>(i) % shares.size()];
    const char* result = resolve(share.address.c_str());
    const std::string got = result == nullptr ? "" : result;
    if (got != share.directAddress) {
      if (++wrong <= 5) std::fprintf(stderr, "call %d: %s gave \"%s\"\n", i, share.address.c_str(), got.c_str());
    }
    if (i == 1) descriptorsAfterFirst = OpenDescriptors();
    if (i == kWarmUpCalls || (calls < kWarmUpCalls && i == calls)) residentAfterWarmUp = ResidentKiB();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long residentAtEnd = ResidentKiB();
  const int descriptorsAtEnd = OpenDescriptors();
  dlclose(library);

  const long growth = residentAtEnd - residentAfterWarmUp;
  const bool memoryJudged = calls >= kBoundedFrom;
  const bool memoryOk = !memoryJudged || growth < kMemoryBoundKiB;
  const bool descriptorsOk = descriptorsAtEnd == descriptorsAfterFirst;
  std::printf("calls                        %d in %.1f s (%.2f ms each)\n", calls, seconds, 1000 * seconds / calls);
  std::printf("wrong answers                %d\n", wrong);
  std::printf("resident after call %-4d     %ld KiB\n", std::min(calls, kWarmUpCalls), residentAfterWarmUp);
  std::printf("resident at the end          %ld KiB\n", residentAtEnd);
  std::printf("growth                       %ld KiB (bound: below %ld KiB%s)\n", growth, kMemoryBoundKiB,
              memoryJudged ? "" : ", not judged under 1000 calls");
  std::printf("descriptors after call 1     %d\n", descriptorsAfterFirst);
  std::printf("descriptors at the end       %d\n", descriptorsAtEnd);
  const bool ok = wrong == 0 && memoryOk && descriptorsOk;
  std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
  return ok ? 0 : 1;
}
