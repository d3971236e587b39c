// The black boxes' command line: --help and --version answer on stdout, anything else is
// one line on stderr with status 2, and neither touches input.in or output.out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "blackbox/program.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

// Runs program with arguments in dir, capturing stdout and stderr beside dir.
kbtest::RunResult run_with(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& dir) {
  kbtest::RunResult result;
  const std::string out_path = dir.string() + ".stdout";
  const std::string err_path = dir.string() + ".stderr";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  }
  result.out = kbtest::read_file(out_path).value_or("<none>");
  result.err = kbtest::read_file(err_path).value_or("<none>");
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return result;
}

struct Program {
  std::string name;
  std::string path;
  std::string point;  // a readable input.in, which the program must still not evaluate
};

const Program kPrograms[] = {
    {"mmeval", KINKBENCH_MMEVAL, "2\n2\n"},
    {"nseval", KINKBENCH_NSEVAL, "0\n1\n2\n-1\n"},
};

struct Case {
  std::vector<std::string> args;
  int status;
  std::string named;  // the argument the error line must quote; empty for success
};

const Case kCases[] = {
    {{"--help"}, 0, ""},
    {{"--version"}, 0, ""},
    {{"--bogus"}, bb::kUsageFailed, "--bogus"},
    {{"-h"}, bb::kUsageFailed, "-h"},
    {{"--help", "extra"}, bb::kUsageFailed, "extra"},
    {{"--version", "--help"}, bb::kUsageFailed, "--help"},
    {{"input.in", "output.out"}, bb::kUsageFailed, "input.in"},
    {{""}, bb::kUsageFailed, ""},
};

std::string describe(const Program& p, const Case& c) {
  std::string s = p.name;
  for (const std::string& a : c.args) s += " '" + a + "'";
  return s;
}

// The text each successful case must print, checked for the facts a caller relies on.
void expect_answer(const Program& p, const Case& c, const std::string& out) {
  if (c.args[0] == "--version") {
    EXPECT_EQ(out, p.name + " (kinkbench) " KINKBENCH_PROJECT_VERSION "\n");
    return;
  }
  EXPECT_EQ(out.rfind("Usage: " + p.name + " [--help | --version]\n", 0), 0u) << out;
  for (const char* fact : {"input.in", "output.out", "(E15.6)", "Exit status: 0", "; 2 ", "; 3 ",
                           "older result", "must check the status", "one line on stderr"}) {
    // Line breaks may fall anywhere; compare with them read as blanks.
    std::string flat = out;
    std::string want = fact;
    for (char& ch : flat) ch = ch == '\n' ? ' ' : ch;
    for (char& ch : want) ch = ch == '\n' ? ' ' : ch;
    EXPECT_NE(flat.find(want), std::string::npos) << "help lacks '" << want << "':\n" << out;
  }
  for (std::size_t start = 0; start < out.size();) {
    const std::size_t end = out.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "help does not end with a newline";
    EXPECT_LE(end - start, 80u) << out.substr(start, end - start);
    start = end + 1;
  }
}

TEST(ProgramArguments, AnswerOrRefuseWithoutTouchingEitherFile) {
  for (const Program& p : kPrograms) {
    for (const Case& c : kCases) {
      for (const bool existing : {false, true}) {
        const std::string what = describe(p, c) + (existing ? " over an older output.out" : "");
        const kbtest::ScratchDir dir;
        ASSERT_TRUE(dir.ok());
        kbtest::write_file(dir / "input.in", p.point);
        const std::string older = "   0.123456E+01\n";
        if (existing) kbtest::write_file(dir / "output.out", older);

        const kbtest::RunResult run = run_with(p.path, c.args, dir.path());

        EXPECT_EQ(run.status, c.status) << what << ": " << run.err;
        if (c.status == 0) {
          EXPECT_EQ(run.err, "") << what;
          expect_answer(p, c, run.out);
        } else {
          EXPECT_EQ(run.out, "") << what;
          EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ": " << run.err;
          EXPECT_EQ(run.err.rfind(p.name + ": unexpected argument '" + c.named + "'", 0), 0u)
              << what << ": " << run.err;
        }
        EXPECT_EQ(kbtest::read_file(dir / "input.in"), p.point) << what;
        if (existing) {
          EXPECT_EQ(kbtest::read_file(dir / "output.out"), older) << what;
        } else {
          EXPECT_FALSE(std::filesystem::exists(dir / "output.out")) << what;
        }
      }
    }
  }
}

// Cutting a very long argument must keep the error to one line.
TEST(ProgramArguments, AnOverlongArgumentStillGivesOneLine) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string huge(5000, 'x');
  const kbtest::RunResult run = run_with(kPrograms[0].path, {huge}, dir.path());
  EXPECT_EQ(run.status, bb::kUsageFailed);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err.size();
  EXPECT_LT(run.err.size(), 300u);
  EXPECT_FALSE(std::filesystem::exists(dir / "output.out"));
}

}  // namespace
