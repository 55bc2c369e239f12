// Running another program from a test: the Linux halves of the tests that
// set a Windows program (under wine) against a Linux one.
//
//   int status = 0;
//   const std::string out = CommandOutput(QuoteWord(program) + " 8080", &status);
#ifndef BRELK_TESTS_SUPPORT_COMMAND_H_
#define BRELK_TESTS_SUPPORT_COMMAND_H_

#include <string>

namespace brelk::testing {

// QuoteWord(): s as one word for the shell, whatever it holds.
//   QuoteWord("it's") == "'it'\\''s'"
std::string QuoteWord(const std::string& s);

// CommandOutput(): runs command through the shell and returns what it wrote
// to standard output, every CR dropped (a Windows program writes its output
// in text mode, lines ending in CR LF). *status is its exit status, -1 when
// it could not be started or did not exit normally.
std::string CommandOutput(const std::string& command, int* status);

// ForgetProxyEnvironment(): removes the proxy variables (http_proxy and the
// like) from this process's environment, so that the programs it starts go
// straight to the test's servers, whatever the machine is set up to use.
void ForgetProxyEnvironment();

}  // namespace brelk::testing

#endif  // BRELK_TESTS_SUPPORT_COMMAND_H_
