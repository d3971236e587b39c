// The black boxes' command line: --help and --version answer on stdout, anything else is
// one line on stderr with status 2, and neither touches input.in or output.out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "blackbox/program.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

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
    {{"-h"}, 0, ""},
    {{"-h", "--version"}, bb::kUsageFailed, "--version"},
    {{"-x"}, bb::kUsageFailed, "-x"},
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
  EXPECT_EQ(out.rfind("Usage: " + p.name + " [-h | --help | --version]\n", 0), 0u) << out;
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

        const kbtest::RunResult run = kbtest::run_in(p.path, dir.path(), {c.args, {}, false});

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
  const kbtest::RunResult run = kbtest::run_in(kPrograms[0].path, dir.path(), {{huge}, {}, false});
  EXPECT_EQ(run.status, bb::kUsageFailed);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err.size();
  EXPECT_LT(run.err.size(), 300u);
  EXPECT_FALSE(std::filesystem::exists(dir / "output.out"));
}

}  // namespace
