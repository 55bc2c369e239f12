// brelk-resolve run as a person or a script runs it, against the fixture site
// in a private network.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/fixture_site.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"

extern char** environ;

namespace brelk {
namespace {

bool inPrivateNetwork = false;
std::string whyNot;

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return text;
}

// RunTool(): runs brelk-resolve with args and collects what it printed.
ToolRun RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), BRELK_RESOLVE_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid;
  ToolRun run;
  const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  std::thread errReader([&] { run.err = Drain(err[0]); });
  run.out = Drain(out[0]);
  errReader.join();
  int status = 0;
  if (spawned && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

TEST(BrelkResolve, AnswersUsageAndHelpWithoutTheNetwork) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* rule;
  } cases[] = {
      {{}, 2, "no address is a usage error"},
      {{"--frobnicate", "x"}, 2, "an unknown option is a usage error"},
      {{"--help"}, 0, "help"},
      {{"--version"}, 0, "version"},
  };
  for (const Case& c : cases) EXPECT_EQ(RunTool(c.args).status, c.status) << c.rule;
  EXPECT_NE(RunTool({"--help"}).out.find("usage: brelk-resolve"), std::string::npos);
}

class BrelkResolveOnline : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!inPrivateNetwork) GTEST_SKIP() << "no private network for the fixture site: " << whyNot;
    site_ = loopback::StartServer(fixture::Site(), 80);
  }
  loopback::ServerPtr site_;
};

TEST_F(BrelkResolveOnline, PrintsEachAddressInUtf8) {
  // 年度报告.rar: GBK from the library, UTF-8 on the terminal.
  const ToolRun run = RunTool({fixture::Utf8Share().address, fixture::GbkShare().address});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, fixture::Utf8Share().directAddress + "\n" +
                         "http://dl3.1000eb.com/d/77/\xE5\xB9\xB4\xE5\xBA\xA6\xE6\x8A\xA5\xE5\x91\x8A.rar\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(BrelkResolveOnline, PrintsTheLibrarysBytesWithRaw) {
  const ToolRun run = RunTool({"--raw", fixture::GbkShare().address});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, fixture::GbkShare().directAddress + "\n");
}

TEST_F(BrelkResolveOnline, ExitsWithOneAndSaysWhichAddressFailed) {
  const std::string gone = fixture::GoneShare().address;
  const ToolRun run = RunTool({fixture::Utf8Share().address, gone});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, fixture::Utf8Share().directAddress + "\n");
  EXPECT_EQ(run.err, "brelk-resolve: could not resolve " + gone + "\n");
}

TEST_F(BrelkResolveOnline, TracesEveryStepWithVerbose) {
  const fixture::Share share = fixture::Utf8Share();
  const ToolRun run = RunTool({"--verbose", share.address});
  EXPECT_EQ(run.status, 0);
  for (const std::string& line : {
           std::string("share page: "),
           std::string("     n       '\xE4\xB8\xAD\xE6\x96\x87\xE8\xB5\x84\xE6\x96\x99 2026.zip'  joined as "
                       "%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99%202026%2Ezip"),
           "download list: http://www.1000eb.com/ajax/downloads.ashx?" + share.query,
           std::string("link: thunder://"),
           "result: " + share.directAddress,
       }) {
    EXPECT_NE(run.err.find(line), std::string::npos) << line << "\n--- in ---\n" << run.err;
  }
}

}  // namespace
}  // namespace brelk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  brelk::inPrivateNetwork =
      brelk::testing::EnterPrivateNetwork(brelk::fixture::AllHostNames(), &brelk::whyNot);
  return RUN_ALL_TESTS();
}
