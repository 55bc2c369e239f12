// brelk-resolve: resolves share-page addresses from the command line.
//
//   brelk-resolve [--verbose] [--raw] ADDRESS...
//
// Prints each direct download address on its own line, in UTF-8 (or, with
// --raw, as the library's GBK bytes). Exit status: 0 when every address
// resolved, 1 when any did not, 2 for a usage error.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "resolve/resolve.h"

namespace {

using brelk::ByteString;
using brelk::Text;

constexpr const char* kUsage =
    "usage: brelk-resolve [--verbose] [--raw] ADDRESS...\n"
    "\n"
    "Resolves 1000eb share-page addresses to direct download addresses and\n"
    "prints one per line.\n"
    "\n"
    "  --verbose  trace every step of each resolution on standard error\n"
    "  --raw      print the addresses as GBK bytes, unconverted\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 when every address resolved, 1 when any did not,\n"
    "2 for a usage error.\n";

// ToTerminal(): GBK text as UTF-8 for the terminal; malformed bytes become
// U+FFFD rather than garbage.
std::string ToTerminal(const Text& gbk) {
  const ByteString utf8 = brelk::GbkToUtf8(gbk);
  return std::string(brelk::BytesToText(utf8).view());
}

Text FromArgument(const char* utf8) {
  return brelk::BytesToText(brelk::Utf8ToGbk(ByteString(utf8)));
}

void PrintTrace(const Text& address, const brelk::ResolveTrace& trace, const Text& result) {
  std::fprintf(stderr, "brelk-resolve: %s\n", ToTerminal(address).c_str());
  std::fprintf(stderr, "  1. share page: %d bytes\n", trace.pageSize);
  std::fprintf(stderr, "  2. values cut out of the page:\n");
  for (const auto& value : trace.values) {
    const std::string extracted = ToTerminal(value.extracted);
    const std::string joined = ToTerminal(value.joined);
    std::fprintf(stderr, "     %-7s %s%s%s\n", ToTerminal(value.key).c_str(),
                 value.extracted.empty() ? "(empty)" : ("'" + extracted + "'").c_str(),
                 joined == extracted ? "" : "  joined as ",
                 joined == extracted ? "" : joined.c_str());
  }
  std::fprintf(stderr, "  3. download list: %s\n", ToTerminal(trace.downloadListAddress).c_str());
  std::fprintf(stderr, "  4. reply: %d bytes\n", trace.replySize);
  std::fprintf(stderr, "  5. link: %s\n",
               trace.link.empty() ? "(none after \"thunderDX:'\")" : ToTerminal(trace.link).c_str());
  std::fprintf(stderr, "  6. decoded: %s\n",
               trace.decoded.empty() ? "(empty)" : ToTerminal(trace.decoded).c_str());
  std::fprintf(stderr, "  7. result: %s\n",
               result.empty() ? "(none)" : ToTerminal(result).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false, raw = false, endOfOptions = false;
  std::vector<const char*> addresses;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (endOfOptions || arg.empty() || arg[0] != '-') {
      addresses.push_back(argv[i]);
    } else if (arg == "--") {
      endOfOptions = true;
    } else if (arg == "--verbose" || arg == "-v") {
      verbose = true;
    } else if (arg == "--raw") {
      raw = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("brelk-resolve %s\n", BRELK_VERSION);
      return 0;
    } else {
      std::fprintf(stderr, "brelk-resolve: unknown option '%s'\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (addresses.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  int status = 0;
  for (const char* argument : addresses) {
    const Text address = FromArgument(argument);
    brelk::ResolveTrace trace;
    const Text result = brelk::ResolveShareLink(address, verbose ? &trace : nullptr);
    if (verbose) PrintTrace(address, trace, result);
    if (result.empty()) {
      std::fprintf(stderr, "brelk-resolve: could not resolve %s\n", argument);
      status = 1;
      continue;
    }
    const std::string line = raw ? std::string(result.view()) : ToTerminal(result);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return status;
}
