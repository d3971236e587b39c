// The kinkbench command: readable output, machine-readable JSON, and one clear line with
// status 2 for every bad argument.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

CommandRun kinkbench(const std::string& args) {
  // ctest runs tests in parallel processes: name the files after this one.
  const std::string stem = testing::TempDir() + "kb_cli_" + std::to_string(getpid());
  const std::string out = stem + ".out";
  const std::string err = stem + ".err";
  const std::string command =
      std::string(KINKBENCH_CLI_PATH) + " " + args + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  CommandRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

int lines(const std::string& text) {
  int count = 0;
  for (char c : text) count += c == '\n' ? 1 : 0;
  return count;
}

}  // namespace

TEST(KinkbenchCommand, ListShowsEveryProblemOfBothCollections) {
  const CommandRun r = kinkbench("list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  // Two headings, two column lines, one blank line and 25 rows per collection.
  EXPECT_EQ(lines(r.out), 2 + 2 + 1 + 50);
  EXPECT_NE(r.out.find("minimax collection"), std::string::npos);
  EXPECT_NE(r.out.find("nonsmooth collection"), std::string::npos);
  EXPECT_EQ(lines(kinkbench("list nonsmooth").out), 2 + 25);
}

TEST(KinkbenchCommand, EvalPrintsValueGradientAndHessian) {
  const CommandRun r = kinkbench("eval minimax 1 --gradient --hessian");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("max f_k  = 20 (attained first at k = 1)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("gradient = 4 32"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("hessian  = 2 0 48"), std::string::npos) << r.out;

  const CommandRun k3 = kinkbench("eval minimax 1 --k 3 --x 1,1");
  ASSERT_EQ(k3.status, 0) << k3.err;
  EXPECT_NE(k3.out.find("f_3      = 2\n"), std::string::npos) << k3.out;
}

TEST(KinkbenchCommand, JsonIsOneObjectWithTheNumbers) {
  const CommandRun r = kinkbench("eval nonsmooth 11 --x 0,1,2,-1 --gradient --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"collection\": \"nonsmooth\", \"problem\": 11, \"n\": 4, \"x\": [0, 1, 2, -1], "
            "\"value\": -44, \"gradient\": [-5, -3, -13, 5]}\n");
}

TEST(KinkbenchCommand, BadArgumentsGiveOneLineAndStatusTwo) {
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"", "no command given"},
      {"frobnicate", "unknown command 'frobnicate'"},
      {"list everything", "unknown collection 'everything'"},
      {"eval minimax 26", "unknown problem '26'"},
      {"eval nonsmooth x1", "unknown problem 'x1'"},
      {"eval nonsmooth 11 --x 1,2", "--x has 2 coordinates, n is 4"},
      {"eval nonsmooth 11 --n 3", "needs n >= 4, got 3"},
      {"eval minimax 1 --x 1,abc", "--x needs comma-separated numbers"},
      {"eval minimax 1 --x 1,nan", "--x needs comma-separated numbers"},
      {"eval minimax 1 --k 4", "--k must be 1..3"},
      {"eval nonsmooth 1 --k 1", "--k applies to the minimax collection"},
      {"eval minimax 1 --colour", "unknown option '--colour'"},
      {"eval minimax 1 --n", "option '--n' needs a value"},
      {"eval nonsmooth 16 --n 11", "defined for n = 10 only"},
      {"eval nonsmooth 23 --n 2000000000", "--n must be at most 10000"},
      {"check minimax 0", "unknown problem '0'"},
  };
  for (const auto& c : cases) {
    const CommandRun r = kinkbench(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
}

TEST(KinkbenchCommand, CheckPassesForEveryProblemOfBothCollections) {
  const CommandRun r = kinkbench("check");
  ASSERT_EQ(r.status, 0) << r.out;
  int ok_rows = 0;
  for (size_t at = r.out.find(" ok\n"); at != std::string::npos; at = r.out.find(" ok\n", at + 1)) {
    ++ok_rows;
  }
  EXPECT_EQ(ok_rows, 50) << r.out;
  EXPECT_EQ(lines(kinkbench("check nonsmooth 21").out), 3);
}

TEST(KinkbenchCommand, HelpIsAvailableForEveryCommand) {
  for (const char* args : {"--help", "list --help", "eval --help", "check --help"}) {
    const CommandRun r = kinkbench(args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_NE(r.out.find("usage: kinkbench"), std::string::npos) << args;
  }
}
