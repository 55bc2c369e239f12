#include "support/command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace brelk::testing {

std::string QuoteWord(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string CommandOutput(const std::string& command, int* status) {
  std::string out;
  *status = -1;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    for (std::size_t i = 0; i < n; ++i) {
      if (buffer[i] != '\r') out += buffer[i];
    }
  }
  const int raw = pclose(pipe);
  if (raw != -1 && WIFEXITED(raw)) *status = WEXITSTATUS(raw);
  return out;
}

void ForgetProxyEnvironment() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
    unsetenv(name);
  }
}

}  // namespace brelk::testing
