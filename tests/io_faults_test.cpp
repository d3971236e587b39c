// The programs when the system calls under them misbehave: write() returning 0 or a
// short count, close() failing, read() failing inside a value, and interrupted calls.
// The failures are injected by an LD_PRELOAD shim into dynamically linked copies of the
// programs.
#include <gtest/gtest.h>

#include <string>

#include "blackbox/program.hpp"
#include "fortran/process.hpp"

namespace bb = kinkbench::blackbox;

namespace {

struct Program {
  std::string name;
  std::string path;
  std::string input;
  std::string line;  // the result line at that input
};

const Program kPrograms[] = {
    {"mmeval", KINKBENCH_MMEVAL_DYNAMIC, "2.5\n3\n", "   0.872500E+02\n"},
    {"nseval", KINKBENCH_NSEVAL_DYNAMIC, "0.5\n1\n2\n-1\n", "  -0.337500E+02\n"},
};

const std::string kOld = "previous result\n";

struct Outcome {
  kbtest::RunResult run;
  std::optional<std::string> output;
};

// Runs the program on its input with the given faults and an earlier output.out.
Outcome run_faulty(const Program& program,
                   std::vector<std::pair<std::string, std::string>> faults) {
  const kbtest::ScratchDir dir;
  kbtest::write_file(dir / "input.in", program.input);
  kbtest::write_file(dir / "output.out", kOld);
  faults.emplace_back("LD_PRELOAD", KINKBENCH_FAULT_SHIM);
  // A sanitizer runtime refuses to start when a preloaded library comes before it.
  faults.emplace_back("ASAN_OPTIONS", "verify_asan_link_order=0");
  Outcome o{kbtest::run_in(program.path, dir.path(), {{}, faults, false}), std::nullopt};
  o.output = kbtest::read_file(dir / "output.out");
  return o;
}

TEST(IoFaults, ProgramsAnswerNormallyWithoutFaults) {
  for (const Program& p : kPrograms) {
    const Outcome o = run_faulty(p, {});
    EXPECT_EQ(o.run.status, 0) << p.name << ": " << o.run.err;
    EXPECT_EQ(o.run.err, "") << p.name;
    EXPECT_EQ(o.output, p.line) << p.name;
  }
}

TEST(IoFaults, ShortAndInterruptedWritesAreCompleted) {
  for (const Program& p : kPrograms) {
    for (const char* fault : {"short", "eintr"}) {
      const Outcome o = run_faulty(p, {{"KB_FAULT_WRITE", fault}});
      EXPECT_EQ(o.run.status, 0) << p.name << ", " << fault << ": " << o.run.err;
      EXPECT_EQ(o.output, p.line) << p.name << ", " << fault;
    }
  }
}

TEST(IoFaults, AWriteOfNothingIsAWriteFailure) {
  for (const Program& p : kPrograms) {
    const Outcome o = run_faulty(p, {{"KB_FAULT_WRITE", "zero"}});
    EXPECT_EQ(o.run.status, bb::kOutputFailed) << p.name;
    EXPECT_EQ(o.run.err, p.name + ": output.out: write failed: Input/output error\n");
    EXPECT_EQ(o.output, "") << p.name;  // created and truncated, then nothing went in
  }
}

TEST(IoFaults, AFailedCloseIsReportedThoughTheLineWasWritten) {
  for (const Program& p : kPrograms) {
    const Outcome o = run_faulty(p, {{"KB_FAULT_CLOSE", "1"}});
    EXPECT_EQ(o.run.status, bb::kOutputFailed) << p.name;
    EXPECT_EQ(o.run.err, p.name + ": output.out: close failed: Input/output error\n");
    EXPECT_EQ(o.output, p.line) << p.name;
  }
}

// read() failing after `bytes` bytes, handed out one at a time: inside the first value,
// right after it, and inside the second. Each is a read failure, never a malformed
// value or an early end, and output.out keeps its earlier content.
TEST(IoFaults, AFailedReadIsAReadFailureWhereverItStrikes) {
  for (const Program& p : kPrograms) {
    for (const char* bytes : {"0", "2", "4", "5"}) {
      const Outcome o = run_faulty(p, {{"KB_FAULT_READ", bytes}});
      EXPECT_EQ(o.run.status, bb::kInputFailed) << p.name << " after " << bytes;
      EXPECT_EQ(o.run.err, p.name + ": input.in: read failed: Input/output error\n")
          << "after " << bytes;
      EXPECT_EQ(o.output, kOld) << p.name << " after " << bytes;
    }
  }
}

TEST(IoFaults, OneByteReadsAndInterruptedReadsGiveTheSameResult) {
  for (const Program& p : kPrograms) {
    for (const auto& fault : std::vector<std::pair<std::string, std::string>>{
             {"KB_FAULT_READ", "100000"}, {"KB_FAULT_READ_EINTR", "1"}}) {
      const Outcome o = run_faulty(p, {fault});
      EXPECT_EQ(o.run.status, 0) << p.name << ", " << fault.first << ": " << o.run.err;
      EXPECT_EQ(o.output, p.line) << p.name << ", " << fault.first;
    }
  }
}

}  // namespace
