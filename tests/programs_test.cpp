// The two programs run as processes, and their value guards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

#include "blackbox/guards.hpp"
#include "blackbox/program.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

const std::string kMmeval = KINKBENCH_MMEVAL;
const std::string kNseval = KINKBENCH_NSEVAL;
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::string kDirectory = "<directory>";

struct Evaluation {
  kbtest::RunResult run;
  std::optional<std::string> output;
};

Evaluation evaluate(const std::string& program, const std::string& input) {
  const kbtest::ScratchDir dir;
  kbtest::write_file(dir / "input.in", input);
  Evaluation e{kbtest::run_in(program, dir.path()), std::nullopt};
  e.output = kbtest::read_file(dir / "output.out");
  return e;
}

void expect_result(const std::string& program, const std::string& input, const std::string& line) {
  const Evaluation e = evaluate(program, input);
  EXPECT_EQ(e.run.status, 0) << program << " on " << input << ": " << e.run.err;
  EXPECT_EQ(e.run.out, "") << input;
  EXPECT_EQ(e.run.err, "") << input;
  EXPECT_EQ(e.output, line + "\n") << program << " on " << input;
}

TEST(Mmeval, WritesTheLargestPartialValue) {
  expect_result(kMmeval, "2\n2\n", "   0.200000E+02");      // f1 = 20, f2 = 0, f3 = 2
  expect_result(kMmeval, "0\n0\n", "   0.800000E+01");      // f2 = 8
  expect_result(kMmeval, "2 3\n4\n", "   0.260000E+03");    // (2, 4): f1 = 260
  expect_result(kMmeval, "1.5D0\n0\n", "   0.425000E+01");  // f2 = 4.25
  expect_result(kMmeval, ",\n3\n", "   0.850000E+02");      // (2, 3) from the null
  expect_result(kMmeval, "/\n3*\n", "   0.200000E+02");
  expect_result(kMmeval, "0\n-3\n", "   0.810000E+02");  // f1 = 81 over f2 = 29
}

TEST(Mmeval, CapsLargeAndNonFiniteValuesAt1e80) {
  expect_result(kMmeval, "1e200\n0\n", "   0.100000E+81");      // f1 = +inf
  expect_result(kMmeval, "1e400\n1e400\n", "   0.100000E+81");  // f1 = inf, f2, f3 NaN
}

TEST(Mmeval, ASecondRunLeavesExactlyOneLine) {
  const kbtest::ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  kbtest::write_file(dir / "input.in", "2\n2\n");
  kbtest::write_file(dir / "output.out", "stale\nlonger than one result line\n\n");
  ASSERT_EQ(kbtest::run_in(kMmeval, dir.path()).status, 0);
  ASSERT_EQ(kbtest::run_in(kMmeval, dir.path()).status, 0);
  EXPECT_EQ(kbtest::read_file(dir / "output.out"), "   0.200000E+02\n");
}

TEST(Nseval, WritesProblem11sObjective) {
  expect_result(kNseval, "0\n0\n0\n0\n", "   0.000000E+00");   // its starting point
  expect_result(kNseval, "0\n1\n2\n-1\n", "  -0.440000E+02");  // on the kink of c1, c3
  expect_result(kNseval, "1\n1\n1\n1\n", "  -0.190000E+02");
  expect_result(kNseval, "/\n,\n3*\n\n\n-1\n", "  -0.600000E+01");  // (0, 0, 0, -1)
}

TEST(Nseval, CapsOnlyAbove) {
  expect_result(kNseval, "1e200\n0\n0\n0\n", "   0.100000E+81");  // +inf
  expect_result(kNseval, "1e400\n0\n0\n0\n", "            NaN");  // inf - inf passes
}

// Each failure: non-zero status, one diagnostic line naming the file and the
// operation, nothing on stdout, and output.out neither created nor changed.
// A null input means no input.in; kDirectory makes input.in a directory, which opens but
// cannot be read.
void expect_input_failure(const std::string& program, const std::string* input,
                          const char* operation) {
  for (const bool existing : {false, true}) {
    const kbtest::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    if (input != nullptr && *input == kDirectory) {
      std::filesystem::create_directory(dir / "input.in");
    } else if (input != nullptr) {
      kbtest::write_file(dir / "input.in", *input);
    }
    const std::string old = "previous result\n";
    if (existing) kbtest::write_file(dir / "output.out", old);
    const kbtest::RunResult run = kbtest::run_in(program, dir.path());
    const std::string what = program + " on " + (input ? *input : std::string("<no file>"));
    EXPECT_EQ(run.status, bb::kInputFailed) << what;
    EXPECT_EQ(run.out, "") << what;
    ASSERT_FALSE(run.err.empty()) << what;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ": " << run.err;
    EXPECT_NE(run.err.find("input.in"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(operation), std::string::npos) << run.err;
    if (existing) {
      EXPECT_EQ(kbtest::read_file(dir / "output.out"), old) << what;
    } else {
      EXPECT_FALSE(std::filesystem::exists(dir / "output.out")) << what;
    }
  }
}

TEST(Programs, InputFailuresLeaveTheResultFileAlone) {
  for (const std::string& program : {kMmeval, kNseval}) {
    expect_input_failure(program, nullptr, "input.in: open failed");
    expect_input_failure(program, &kDirectory, "input.in: read failed");
    for (const std::string& bad : std::initializer_list<std::string>{
             "", "abc\n2\n", "2\nNaN\n", "Inf\n2\n", "1.2.3\n2\n", "0*5\n2\n", "2\n", "2 2\n",
             std::string("2\n\0\n", 4)}) {
      expect_input_failure(program, &bad, "read failed");
    }
  }
  const std::string three = "1\n2\n3\n";
  expect_input_failure(kNseval, &three, "end of file before value 4");
}

TEST(Programs, OutputFailuresAreReported) {
  for (const std::string& program : {kMmeval, kNseval}) {
    const kbtest::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    kbtest::write_file(dir / "input.in", "1\n1\n1\n1\n");
    std::filesystem::create_directory(dir / "output.out");
    kbtest::RunResult run = kbtest::run_in(program, dir.path());
    EXPECT_EQ(run.status, bb::kOutputFailed);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find("output.out: create failed"), std::string::npos) << run.err;

    std::filesystem::remove(dir / "output.out");
    std::filesystem::create_symlink("/dev/full", dir / "output.out");
    run = kbtest::run_in(program, dir.path());
    EXPECT_EQ(run.status, bb::kOutputFailed);
    EXPECT_NE(run.err.find("output.out: write failed"), std::string::npos) << run.err;
  }
}

TEST(MinimaxGuard, MapsNaNInfinitiesAndTheEmptyCase) {
  const auto guard = [](std::initializer_list<double> values) {
    bb::MinimaxGuard g;
    for (const double v : values) g.take(v);
    return g.result();
  };
  const double nan = std::nan("");
  EXPECT_EQ(guard({nan, nan, nan}), -1e80);  // every NaN counts as -1e80 and is taken
  EXPECT_EQ(guard({1, kInf, 3}), 1e80);
  EXPECT_EQ(guard({-kInf, -kInf, -kInf}), 1e80);  // nothing reached -1e80
  EXPECT_EQ(guard({-1e81, -kInf}), 1e80);
  EXPECT_EQ(guard({-1e81, nan}), -1e80);
  EXPECT_EQ(guard({-kInf, 5, -kInf}), 5);
  EXPECT_EQ(guard({nan, -3, nan}), -3);
  EXPECT_EQ(guard({1e80, 2e80}), 1e80);
  EXPECT_EQ(guard({}), 1e80);  // m <= 0
  const double below = std::nextafter(1e80, 0.0);
  EXPECT_EQ(guard({below, -1}), below);
}

TEST(NonsmoothCap, CapsByAnOrderedComparison) {
  const double below = std::nextafter(1e80, 0.0);
  EXPECT_EQ(bb::cap_objective(kInf), 1e80);
  EXPECT_EQ(bb::cap_objective(1e300), 1e80);
  EXPECT_EQ(bb::cap_objective(1e80), 1e80);
  EXPECT_EQ(bb::cap_objective(below), below);
  EXPECT_TRUE(std::isnan(bb::cap_objective(std::nan(""))));
  EXPECT_EQ(bb::cap_objective(-kInf), -kInf);
  EXPECT_EQ(bb::cap_objective(-1e300), -1e300);
}

TEST(Diagnostics, AreOneLineEvenWhenCut) {
  char line[24];
  bb::PointResult r;
  r.status = bb::PointStatus::not_a_number;
  r.item = 2;
  r.line = 7;
  const std::size_t len = bb::describe("mmeval", "input.in", r, line, sizeof line);
  EXPECT_EQ(len, sizeof line - 1);
  EXPECT_EQ(std::string(line, len), "mmeval: input.in: read\n");
  char full[128];
  const std::size_t all = bb::describe("mmeval", "input.in", r, full, sizeof full);
  EXPECT_EQ(std::string(full, all),
            "mmeval: input.in: read failed: value 2 on line 7 is not a number\n");
}

}  // namespace
