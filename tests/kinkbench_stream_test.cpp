// kinkbench eval --stream: one answer per input line, the C++ API's numbers to the bit,
// errors that name the line and let the stream go on, and answers that arrive while the
// client still holds its end open.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/stream.hpp"

namespace {

using kinkbench::tools::Collection;
using kinkbench::tools::kMaxStreamLine;
using kinkbench::tools::PointStream;
using kinkbench::tools::StreamSetup;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<double> numbers_of(const std::string& line) {
  std::vector<double> out;
  std::istringstream in(line);
  for (std::string word; in >> word;) out.push_back(std::strtod(word.c_str(), nullptr));
  return out;
}

std::string session(StreamSetup setup, const std::string& input) {
  PointStream stream(setup);
  EXPECT_EQ(stream.error(), "");
  return stream.serve_text(input);
}

// The same session through serve() on a file, as the command reads standard input: in
// reads of the buffer's size, so that long lines are kept across reads.
std::string served(StreamSetup setup, const std::string& input) {
  PointStream stream(setup);
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::string got;
  if (in == nullptr || out == nullptr) {
    ADD_FAILURE() << "no temporary file";
  } else if (std::fwrite(input.data(), 1, input.size(), in) == input.size() &&
             std::fflush(in) == 0) {
    std::rewind(in);
    EXPECT_EQ(stream.serve(in, out), "");
    std::rewind(out);
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) got.append(buf, n);
  }
  if (in) std::fclose(in);
  if (out) std::fclose(out);
  return got;
}

std::string point_line(const std::vector<double>& x, const char* separator) {
  std::string out;
  char buf[32];
  for (size_t i = 0; i < x.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%.17g", x[i]);
    out += (i > 0 ? separator : "") + std::string(buf);
  }
  return out;
}

// Points near the start, some far enough out that a data fit's largest |f_k| comes
// from a negative f_k.
std::vector<std::vector<double>> points_near(std::span<const double> start) {
  std::vector<std::vector<double>> out;
  for (const double scale : {1.0, 0.5, -0.75, 1.9}) {
    std::vector<double> x(start.begin(), start.end());
    for (size_t i = 0; i < x.size(); ++i) x[i] = x[i] * scale + 0.125 * static_cast<double>(i);
    out.push_back(x);
  }
  return out;
}

void expect_same_bits(double got, double want, const std::string& where) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
      << where << ": got " << got << ", want " << want;
}

}  // namespace

TEST(PointStream, MinimaxAnswersAreTheObjectiveAndItsGradientToTheBit) {
  int negated = 0;  // answers whose gradient is that of |f_k| at a negative f_k
  for (const auto& info : kinkbench::minimax_problems()) {
    const auto p = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    const auto points = points_near(p->start());
    std::string input;
    for (const auto& x : points) input += point_line(x, info.number % 2 ? " " : ", ") + "\n";
    const auto out =
        lines_of(session({Collection::minimax, info.number, 0, 0, true, false}, input));
    ASSERT_EQ(out.size(), points.size()) << info.number;
    for (size_t i = 0; i < points.size(); ++i) {
      const std::string where =
          "minimax " + std::to_string(info.number) + " point " + std::to_string(i) + ": " + out[i];
      const auto got = numbers_of(out[i]);
      ASSERT_EQ(got.size(), 2 + static_cast<size_t>(info.min_n)) << where;
      const auto objective = p->objective(points[i]);
      expect_same_bits(got[0], objective.value, where);
      EXPECT_EQ(got[1], objective.k) << where;
      std::vector<double> g(static_cast<size_t>(info.min_n));
      p->gradient(objective.k, points[i], g);
      double fk = 0;
      p->value(objective.k, points[i], fk);
      const bool negate = p->itype() == 0 && fk < 0;
      negated += negate ? 1 : 0;
      for (size_t j = 0; j < g.size(); ++j) {
        expect_same_bits(got[2 + j], negate ? -g[j] : g[j], where);
      }
    }
  }
  EXPECT_GT(negated, 0);
}

// The text answer prints every number as printf's "%.17g" does, digit for digit: through
// minimax 24's f_1 = x(1), any double comes back as it was written in.
TEST(PointStream, TextNumbersArePrintedAsSeventeenSignificantDigits) {
  const double values[] = {0.1,
                           -0.0,
                           1.0 / 3,
                           5e-324,
                           2.2250738585072009e-308,
                           1e21,
                           1e22,
                           1e16,
                           123456789012345678.0,
                           9007199254740993.0,
                           1e-5,
                           1e-4,
                           0.5,
                           -2.5e-300,
                           1.7976931348623157e308,
                           100,
                           -7.25,
                           6.02214076e23,
                           299792458,
                           0.30000000000000004};
  std::string input;
  std::string want;
  for (const double v : values) {
    std::vector<double> x(20, 0.0);
    x[0] = v;
    input += point_line(x, " ") + "\n";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    want += std::string(buf) + " 1\n";
  }
  EXPECT_EQ(session({Collection::minimax, 24, 0, 1, false, false}, input), want);
}

TEST(PointStream, ChosenPartialFunctionIsAnsweredAsItIs) {
  for (const int number : {1, 7, 13, 24}) {
    const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(number - 1)];
    const auto p = kinkbench::MinimaxProblem::create(number, info.min_n, info.m);
    const auto x = points_near(p->start())[2];
    for (int k = 1; k <= info.m; ++k) {
      const auto out =
          session({Collection::minimax, number, 0, k, true, false}, point_line(x, ","));
      const std::string where = "minimax " + std::to_string(number) + " k " + std::to_string(k);
      const auto got = numbers_of(out);
      ASSERT_EQ(got.size(), 2 + static_cast<size_t>(info.min_n)) << where << ": " << out;
      double fk = 0;
      p->value(k, x, fk);
      std::vector<double> g(static_cast<size_t>(info.min_n));
      p->gradient(k, x, g);
      expect_same_bits(got[0], fk, where);
      EXPECT_EQ(got[1], k) << where;
      for (size_t j = 0; j < g.size(); ++j) expect_same_bits(got[2 + j], g[j], where);
    }
  }
}

TEST(PointStream, NonsmoothAnswersAreTheValueAndGradientToTheBit) {
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    const auto p = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    const auto points = points_near(p->start());
    std::string input;
    for (const auto& x : points) input += point_line(x, " , ") + "\r\n";
    const auto out =
        lines_of(session({Collection::nonsmooth, info.number, 0, 0, true, false}, input));
    ASSERT_EQ(out.size(), points.size()) << info.number;
    for (size_t i = 0; i < points.size(); ++i) {
      const std::string where = "nonsmooth " + std::to_string(info.number) + ": " + out[i];
      const auto got = numbers_of(out[i]);
      ASSERT_EQ(got.size(), 1 + static_cast<size_t>(info.min_n)) << where;
      double f = 0;
      p->value(points[i], f);
      std::vector<double> g(static_cast<size_t>(info.min_n));
      p->gradient(points[i], g);
      expect_same_bits(got[0], f, where);
      for (size_t j = 0; j < g.size(); ++j) expect_same_bits(got[1 + j], g[j], where);
    }
  }
}

TEST(PointStream, MalformedLinesAreNamedAndTheStreamGoesOn) {
  const StreamSetup minimax1{Collection::minimax, 1, 0, 0, false, false};
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"", ""},
      {"2,2\n1,abc\n1 1\n", "20 1\nerror line 2: 'abc' is not a number (coordinate 2)\n2 1\n"},
      // Blank lines are answered too: a lock-step client waits for every answer.
      {"\n  \n2 2",
       "error line 1: expected 2 coordinates, got 0\n"
       "error line 2: expected 2 coordinates, got 0\n20 1\n"},
      {"1\n1 2 3\n",
       "error line 1: expected 2 coordinates, got 1\n"
       "error line 2: expected 2 coordinates, got 3\n"},
      {"1,,2\n1,\n,1\n",
       "error line 1: coordinate 2 is empty\n"
       "error line 2: coordinate 2 is empty\n"
       "error line 3: coordinate 1 is empty\n"},
      // Blanks and commas mix; one carriage return before the line end is dropped.
      {" 2 ,\t2 \r\n2\t2\r\n", "20 1\n20 1\n"},
      // Any more end the number, as the black boxes read it; inside it they don't.
      {"2 2\r\r\n2\r2\n", "20 1\nerror line 2: '2?2' is not a number (coordinate 1)\n"},
      // The forms --x takes, non-finite words included, and none besides.
      {"2.0D+00,20E-1\n-INF nan\n0x2 2\n",
       "20 1\nnan 1\nerror line 3: '0x2' is not a number "
       "(coordinate 1)\n"},
      // A literal only an infinity could hold is refused; one below the subnormals is 0.
      {"1e999 0\n2 -1D400\n2e-400 -3e-999\n",
       "error line 1: '1e999' is not a number (coordinate 1)\n"
       "error line 2: '-1D400' is not a number (coordinate 2)\n"
       "8 2\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(session(minimax1, c.input), c.output) << c.input;
  }
  // A word shown in an error is cut short and made printable.
  const std::string noise = std::string(40, 'z') + std::string("\x01\xff", 2);
  EXPECT_EQ(session(minimax1, "1 " + noise + "\n"),
            "error line 1: '" + std::string(32, 'z') + "...' is not a number (coordinate 2)\n");
  EXPECT_EQ(session(minimax1, "1 \x01\"\xff\n"),
            "error line 1: '?\"?' is not a number (coordinate 2)\n");
  EXPECT_EQ(session(minimax1, "1 " + std::string(32, 'z') + "\n"),
            "error line 1: '" + std::string(32, 'z') + "' is not a number (coordinate 2)\n");
  EXPECT_EQ(session(minimax1, "1 ~ \x7f\n"), "error line 1: '~' is not a number (coordinate 2)\n");
  EXPECT_EQ(session(minimax1, "1 \x7f~\n"), "error line 1: '?~' is not a number (coordinate 2)\n");
}

TEST(PointStream, VeryLongLinesAreAnsweredOrRefusedButNeverCut) {
  const StreamSetup minimax1{Collection::minimax, 1, 0, 0, false, false};
  const std::string tail = "\n2 2\n";
  // Two numbers padded out to the limit, with a carriage return beyond it: answered.
  std::string padded(kMaxStreamLine, ' ');
  padded.front() = '2';
  padded.back() = '2';
  ASSERT_EQ(padded.size(), kMaxStreamLine);
  // From text and from a file read in pieces, where the line spans many reads.
  const auto both = [&](const std::string& input) {
    const std::string got = session(minimax1, input);
    EXPECT_EQ(served(minimax1, input), got);
    return got;
  };
  EXPECT_EQ(both(padded + "\r" + tail), "20 1\n20 1\n");
  // One byte more, however it ends: refused whole, and the next line still answered.
  const std::string refused = "error line 1: longer than 1048576 bytes\n20 1\n";
  EXPECT_EQ(both(padded + " " + tail), refused);
  EXPECT_EQ(both(padded + " \r" + tail), refused);
  EXPECT_EQ(both(padded + "\r\r" + tail), refused);
  EXPECT_EQ(both(std::string(5 * kMaxStreamLine, '7') + tail), refused);

  // The largest n, all coordinates on one line.
  const int n = kinkbench::tools::kMaxN;
  std::string big;
  for (int i = 0; i < n; ++i) big += (i > 0 ? ", " : "") + std::string("0.30000000000000004");
  const auto got = numbers_of(session({Collection::nonsmooth, 20, n, 0, true, false}, big));
  ASSERT_EQ(got.size(), 1u + static_cast<size_t>(n));
  EXPECT_EQ(got[0], 0.30000000000000004);  // problem 20: the largest |x_i|
}

TEST(PointStream, JsonLinesCarryTheLineNumberAndTheNonFiniteNames) {
  // Minimax problem 1 at (1, 1): f_1 = f_2 = f_3 = 2, the first attains it, and the
  // gradient of f_1 = x1^2 + x2^4 is (2, 4); at (-inf, 2) f_1 is inf and its gradient
  // (-inf, 32).
  const std::string out =
      session({Collection::minimax, 1, 0, 0, true, true}, "1 1\n-inf 2\nbad\n1 \"x\\\n0.1 0.2\n");
  const auto lines = lines_of(out);
  ASSERT_EQ(lines.size(), 5u) << out;
  EXPECT_EQ(lines[0], R"({"line":1,"value":2.0,"k":1,"gradient":[2.0,4.0]})");
  EXPECT_EQ(lines[1], R"({"line":2,"value":"inf","k":1,"gradient":["-inf",32.0]})");
  for (const auto& line : lines) {
    const auto object = nlohmann::json::parse(line);  // every line is one valid object
    EXPECT_NE(object.contains("value"), object.contains("error")) << line;
  }
  EXPECT_EQ(nlohmann::json::parse(lines[2]).at("error"), "'bad' is not a number (coordinate 1)");
  EXPECT_EQ(nlohmann::json::parse(lines[3]).at("error"), "'\"x\\' is not a number (coordinate 2)");
  // The shortest form still reads back to every bit.
  const auto last = nlohmann::json::parse(lines[4]);
  const std::vector<double> x{0.1, 0.2};
  const auto p = kinkbench::MinimaxProblem::create(1, 2, 3);
  const auto objective = p->objective(x);
  std::vector<double> g(2);
  p->gradient(objective.k, x, g);
  EXPECT_EQ(last.at("k"), objective.k);
  expect_same_bits(last.at("value").get<double>(), objective.value, lines[4]);
  expect_same_bits(last.at("gradient")[0].get<double>(), g[0], lines[4]);
  expect_same_bits(last.at("gradient")[1].get<double>(), g[1], lines[4]);
}

TEST(PointStream, ImpossibleSetUpsAreRefusedAndAnsweredAsErrors) {
  const struct {
    StreamSetup setup;
    const char* error;
  } cases[] = {
      {{Collection::minimax, 26, 0, 0, false, false}, "unknown problem 26 (1..25)"},
      {{Collection::minimax, 1, 0, 4, false, false}, "k must be 1..3, got 4"},
      {{Collection::nonsmooth, 1, 0, 1, false, false}, "k applies to the minimax collection"},
      {{Collection::nonsmooth, 11, 3, 0, false, false}, "needs n >= 4"},
      {{Collection::nonsmooth, 1, 1, 0, false, false}, "needs n >= 2, got 1"},
      {{Collection::nonsmooth, 16, 11, 0, false, false}, "n = 10 only"},
      {{Collection::nonsmooth, 1, 10001, 0, false, false}, "out of range (1..10000)"},
  };
  for (const auto& c : cases) {
    PointStream stream(c.setup);
    EXPECT_NE(stream.error().find(c.error), std::string::npos) << stream.error();
    EXPECT_EQ(stream.serve_text("1 2\n"), "error line 1: " + stream.error() + "\n");
  }
}

namespace {

// The command as a co-process: its standard input and output held by this process.
struct CoProcess {
  pid_t pid = -1;
  int to = -1;    // its standard input
  int from = -1;  // its standard output

  // data_limit: the most heap it may take, or 0 for no limit of ours.
  explicit CoProcess(std::vector<std::string> args, rlim_t data_limit = 0) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    std::vector<char*> argv{const_cast<char*>(KINKBENCH_CLI_PATH)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      const rlimit limit{data_limit, data_limit};
      if (data_limit != 0) setrlimit(RLIMIT_DATA, &limit);
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      close(in[1]);
      close(out[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to = in[1];
    from = out[0];
  }

  void send(const std::string& text) const {
    ASSERT_EQ(write(to, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // One line of the answers, waiting at most 10 s for it; "(timeout)" or "(end)" else.
  std::string line() const {
    std::string out;
    for (char c = 0;;) {
      pollfd ready{from, POLLIN, 0};
      if (poll(&ready, 1, 10000) != 1) return out + "(timeout)";
      if (read(from, &c, 1) != 1) return out + "(end)";
      if (c == '\n') return out;
      out += c;
    }
  }

  int finish() {
    close(to);
    int status = -1;
    waitpid(pid, &status, 0);
    close(from);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

}  // namespace

TEST(PointStream, AnswersArriveWhileTheClientHoldsTheStreamOpen) {
  CoProcess c({"eval", "nonsmooth", "11", "--stream", "--gradient"});
  ASSERT_GT(c.pid, 0);
  // Lock-step: each answer must come before the next point is written.
  c.send("0,1,2,-1\n");
  EXPECT_EQ(c.line(), "-44 -5 -3 -13 5");
  c.send("0 1 two -1\r\n");
  EXPECT_EQ(c.line(), "error line 2: 'two' is not a number (coordinate 3)");
  c.send("\n");
  EXPECT_EQ(c.line(), "error line 3: expected 4 coordinates, got 0");
  c.send("0 0 0 0\n");
  EXPECT_EQ(c.line(), "0 -5 -5 -21 7");
  EXPECT_EQ(c.finish(), 0);
}

// A client that writes many points before reading: every answer comes, in order and as
// serve_text() gives it, across input reads that split lines anywhere, also lines longer
// than a read and one too long to answer.
TEST(PointStream, PipelinedPointsAreAllAnsweredInOrder) {
  std::string input;
  for (int i = 0; i < 20000; ++i) {
    input += std::to_string(i % 7) + ", 0.5 " + std::to_string(-i) + "e-3 " +
             (i % 1000 == 999 ? "x" : "1.25") + "\n";
  }
  // Lines longer than a read, one of them over the length limit, and no final newline.
  input += std::string(200000, ' ') + "1 2 3 4\n" + std::string(kMaxStreamLine + 10, '7') + "\n";
  input += "4 3 2 1";
  StreamSetup setup{Collection::nonsmooth, 11, 0, 0, true, false};
  const std::string want = session(setup, input);
  ASSERT_EQ(lines_of(want).size(), 20003u);
  CoProcess c({"eval", "nonsmooth", "11", "--stream", "--gradient"});
  ASSERT_GT(c.pid, 0);
  std::thread writer([&] {
    for (size_t at = 0; at < input.size();) {
      const auto wrote = write(c.to, input.data() + at, std::min<size_t>(5000, input.size() - at));
      if (wrote <= 0) break;
      at += static_cast<size_t>(wrote);
    }
    close(c.to);
  });
  std::string got;
  char buf[1 << 16];
  for (ssize_t n; (n = read(c.from, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  writer.join();
  c.to = -1;
  EXPECT_EQ(lines_of(got).size(), 20003u);
  EXPECT_EQ(got, want);
  EXPECT_EQ(c.finish(), 0);
}

// A read that fills the buffer may be all there is: a client that sent exactly that much
// and waits gets its answers without closing its end.
TEST(PointStream, AnswersComeAfterAReadThatFilledTheBuffer) {
  std::string input;
  while (input.size() < (std::size_t{1} << 16)) input += "0 0 0 0\n";
  ASSERT_EQ(input.size(), std::size_t{1} << 16);
  const auto want = lines_of(session({Collection::nonsmooth, 11, 0, 0, false, false}, input));
  ASSERT_EQ(want.size(), 8192u);
  CoProcess c({"eval", "nonsmooth", "11", "--stream"});
  ASSERT_GT(c.pid, 0);
  c.send(input);  // one write into the empty pipe: the command reads it whole
  EXPECT_EQ(c.line(), want.front());
  for (size_t i = 1; i < want.size(); ++i) {
    if (c.line() != want[i]) {
      ADD_FAILURE() << "answer " << i + 1;
      break;
    }
  }
  EXPECT_EQ(c.finish(), 0);
}

// Of a line too long to answer only its first bytes are kept, however long it runs.
TEST(PointStream, ALineTooLongTakesNoMoreMemoryThanTheLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own memory does not fit the limit";
#endif
  CoProcess c({"eval", "minimax", "1", "--stream"}, rlim_t{64} << 20);
  ASSERT_GT(c.pid, 0);
  const auto old =
      std::signal(SIGPIPE, SIG_IGN);  // a command that died must fail the test, not end it
  std::thread writer([&] {
    const std::string chunk(std::size_t{1} << 20, '7');
    bool sent = true;
    for (int i = 0; i < 256 && sent; ++i) {
      sent = write(c.to, chunk.data(), chunk.size()) == static_cast<ssize_t>(chunk.size());
    }
    if (sent) sent = write(c.to, "\n2 2\n", 5) == 5;
    close(c.to);
  });
  EXPECT_EQ(c.line(), "error line 1: longer than 1048576 bytes");
  EXPECT_EQ(c.line(), "20 1");
  writer.join();
  c.to = -1;
  std::signal(SIGPIPE, old);
  EXPECT_EQ(c.finish(), 0);
}

TEST(PointStream, EmptyInputEndsAtOnceWithStatusZero) {
  CoProcess c({"eval", "minimax", "25", "--stream", "--json"});
  ASSERT_GT(c.pid, 0);
  close(c.to);
  c.to = -1;
  EXPECT_EQ(c.line(), "(end)");
  EXPECT_EQ(c.finish(), 0);
}
