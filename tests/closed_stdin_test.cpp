// The programs started with standard input closed: "input.in" then opens as descriptor
// 0, and after it is closed "output.out" is created as descriptor 0 too. Descriptor 0 is
// an ordinary descriptor, not a failed open or create.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "blackbox/program.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

struct Case {
  std::string program;
  std::string input;
  std::string line;
};

kbtest::RunResult run_closed(const std::string& program, const kbtest::ScratchDir& dir) {
  return kbtest::run_in(program, dir.path(), {{}, {}, true});
}

TEST(ClosedStdin, ProgramsReadAndWriteThroughDescriptorZero) {
  const Case cases[] = {
      {KINKBENCH_MMEVAL, "2\n2\n", "   0.200000E+02\n"},
      {KINKBENCH_NSEVAL, "0\n1\n2\n-1\n", "  -0.440000E+02\n"},
  };
  for (const Case& c : cases) {
    const kbtest::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    kbtest::write_file(dir / "input.in", c.input);
    const kbtest::RunResult run = run_closed(c.program, dir);
    EXPECT_EQ(run.status, 0) << c.program << ": " << run.err;
    EXPECT_EQ(run.err, "") << c.program;
    EXPECT_EQ(kbtest::read_file(dir / "output.out"), c.line) << c.program;
  }
}

TEST(ClosedStdin, FailuresAreStillReportedAndLeaveNoResult) {
  for (const std::string program : {KINKBENCH_MMEVAL, KINKBENCH_NSEVAL}) {
    const kbtest::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    kbtest::RunResult run = run_closed(program, dir);  // no input.in
    EXPECT_EQ(run.status, bb::kInputFailed) << program;
    EXPECT_NE(run.err.find("input.in: open failed: No such file or directory\n"), std::string::npos)
        << run.err;

    kbtest::write_file(dir / "input.in", "abc\n");
    run = run_closed(program, dir);
    EXPECT_EQ(run.status, bb::kInputFailed) << program;
    EXPECT_NE(run.err.find("input.in: read failed: value 1 on line 1 is not a number\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "output.out")) << program;
  }
}

}  // namespace
