// The kinkbench command: readable output, machine-readable JSON, and one clear line with
// status 2 for every bad argument.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <kinkbench/minimax.hpp>
#include <kinkbench/nonsmooth.hpp>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tools/commands.hpp"

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

CommandRun run_kinkbench(const std::string& args) {
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

// run_command() in this process, its files in memory; `input` is what --stream reads.
CommandRun run_in_process(const std::vector<std::string>& args, std::string input = "") {
  input += '\n';  // fmemopen() takes no empty buffer; the last byte is left unread
  std::FILE* in = fmemopen(input.data(), input.size() - 1, "r");
  char* out_data = nullptr;
  char* err_data = nullptr;
  size_t out_size = 0;
  size_t err_size = 0;
  std::FILE* out = open_memstream(&out_data, &out_size);
  std::FILE* err = open_memstream(&err_data, &err_size);
  CommandRun r;
  if (in != nullptr && out != nullptr && err != nullptr) {
    r.status = kinkbench::tools::run_command(args, in, out, err);
  }
  for (std::FILE* f : {in, out, err}) {
    if (f != nullptr) std::fclose(f);
  }
  r.out.assign(out_data ? out_data : "", out_size);
  r.err.assign(err_data ? err_data : "", err_size);
  std::free(out_data);
  std::free(err_data);
  return r;
}

int lines(const std::string& text) {
  int count = 0;
  for (char c : text) count += c == '\n' ? 1 : 0;
  return count;
}

int occurrences(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// The line of `text` that starts with `prefix`, without the prefix.
std::string line_after(const std::string& text, const std::string& prefix) {
  const size_t at = text.find(prefix);
  if (at == std::string::npos) return "(no line '" + prefix + "')";
  const size_t from = at + prefix.size();
  return text.substr(from, text.find('\n', from) - from);
}

struct UsageCase {
  std::string args;
  const char* message;
};

void expect_usage_errors(std::initializer_list<UsageCase> cases) {
  for (const auto& c : cases) {
    const CommandRun r = run_kinkbench(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
  }
}

}  // namespace

TEST(KinkbenchCommand, ListShowsEveryProblemOfBothCollections) {
  const CommandRun r = run_kinkbench("list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  // Two headings, two column lines, one blank line, 25 rows per collection, and under
  // the nonsmooth table one footnote per kind of marked f* (one kind today) and one for
  // the fmin that bounds nothing.
  EXPECT_EQ(lines(r.out), 2 + 2 + 1 + 50 + 2);
  EXPECT_NE(r.out.find("minimax collection"), std::string::npos);
  EXPECT_NE(r.out.find("nonsmooth collection"), std::string::npos);
  EXPECT_EQ(lines(run_kinkbench("list nonsmooth").out), 2 + 25 + 2);
  EXPECT_EQ(lines(run_kinkbench("list minimax").out), 2 + 25);
}

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// The words of the table row of problem `number`, from the line after `heading`.
std::vector<std::string> table_row(const std::string& text, const std::string& heading,
                                   int number) {
  std::istringstream in(text.substr(text.find(heading)));
  for (std::string line; std::getline(in, line);) {
    const auto words = words_of(line);
    if (!words.empty() && words[0] == std::to_string(number)) return words;
  }
  return {};
}

TEST(KinkbenchCommand, ListShowsTheOptimumTheGapAndTheDimensionsHonestly) {
  const CommandRun r = run_kinkbench("list");
  ASSERT_EQ(r.status, 0) << r.err;
  const struct {
    const char* heading;
    int number;
    std::vector<std::string> start;  // the row's first words
    const char* summary_start;
  } rows[] = {
      // prob n m form stepmax f-at-start k f* gap summary
      {"minimax collection",
       1,
       {"1", "2+", "3", "max", "f_k", "1000", "20", "1", "1.95222449", "18.0478"},
       "three smooth"},
      {"minimax collection", 7, {"7", "3+", "21", "max", "|f_k|", "1000"}, "damped sine"},
      // prob n fmin stepmax f-at-start f* gap summary
      {"nonsmooth collection",
       21,
       {"21", "48", "-1e+60", "1000", "-464816", "-638565", "173749"},
       "piecewise linear"},
      {"nonsmooth collection", 16, {"16", "10", "-1e+60"}, "maximum of five"},
      {"nonsmooth collection", 11, {"11", "4+", "-1e+60", "1000", "0", "-44", "44"}, "quadratic"},
  };
  for (const auto& row : rows) {
    const auto words = table_row(r.out, row.heading, row.number);
    ASSERT_GE(words.size(), row.start.size()) << row.heading << " " << row.number;
    EXPECT_EQ(std::vector<std::string>(words.begin(), words.begin() + row.start.size()), row.start)
        << row.heading << " " << row.number;
    EXPECT_NE(r.out.find(row.summary_start), std::string::npos) << row.summary_start;
  }
  // f* is marked where it is the local minimum of a problem unbounded below.
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    const auto p = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    const auto words = table_row(r.out, "nonsmooth collection", info.number);
    ASSERT_GT(words.size(), 5u) << info.number;
    EXPECT_EQ(words[5].ends_with('*'), p->best_known()->unbounded_below)
        << info.number << ": " << words[5];
  }
  // The columns are headed by what they hold.
  EXPECT_EQ(words_of(line_after(r.out, "(itype 0)\n")),
            (std::vector<std::string>{"prob", "n", "m", "form", "stepmax", "f", "at", "start", "k",
                                      "best", "known", "f*", "gap", "summary"}));
  EXPECT_EQ(words_of(line_after(r.out, "one objective f per problem\n")),
            (std::vector<std::string>{"prob", "n", "fmin", "stepmax", "f", "at", "start", "best",
                                      "known", "f*", "gap", "summary"}));
  EXPECT_NE(r.out.find("\n* f* is a local minimum; the problem is unbounded below\n"),
            std::string::npos)
      << r.out;
  // Nothing marked, nothing to explain.
  EXPECT_EQ(run_kinkbench("list minimax").out.find("local minimum"), std::string::npos);
}

TEST(KinkbenchCommand, HessianIsRefusedWhereItsTextWouldTakeGigabytes) {
  const CommandRun r = run_kinkbench("eval minimax 5 --n 2001 --hessian");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "kinkbench: --hessian prints n(n+1)/2 numbers; it takes n <= 2000, got 2001 (see "
            "'kinkbench eval --help')\n");
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(run_kinkbench("eval minimax 5 --n 2001 --gradient").status, 0);
}

TEST(KinkbenchCommand, EvalPrintsValueGradientAndHessian) {
  const CommandRun r = run_kinkbench("eval minimax 1 --gradient --hessian");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("max f_k  = 20 (attained first at k = 1)"), std::string::npos) << r.out;
  // Labelled by what they are the derivatives of: the value printed.
  EXPECT_NE(r.out.find("gradient of f_1 = 4 32"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("hessian of f_1  = 2 0 48"), std::string::npos) << r.out;
  // A fit's objective is |f_15| with f_15 = -13.11 here: the derivatives of -f_15, the
  // stream's gradient to the digit; --all still gives the f_k's own.
  const CommandRun fit = run_kinkbench("eval minimax 8 --x 10,1,1 --gradient --hessian --all");
  EXPECT_NE(fit.out.find("max |f_k| = 13.109999999999999 (attained first at k = 15)\n"
                         "gradient of |f_15| = 1 -3.75 -3.75\n"
                         "hessian of |f_15|  = -0 -0 3.75 -0 3.75 3.75\n"),
            std::string::npos)
      << fit.out;
  EXPECT_NE(fit.out.find("\n           -1 3.75 3.75\n"), std::string::npos) << fit.out;
  // The same numbers as the stream's line, for max f_k and for max |f_k| on either sign.
  for (const auto& [problem, x] :
       std::vector<std::pair<std::string, std::string>>{{"1", "0.5,-1.5"},
                                                        {"8", "10,1,1"},
                                                        {"8", "-10,1,1"},
                                                        {"8", "0.1,0.3,0.2"},
                                                        {"7", "1,1,1"}}) {
    const CommandRun e = run_in_process({"eval", "minimax", problem, "--x", x, "--gradient"});
    ASSERT_EQ(e.status, 0) << e.err;
    const auto at = e.out.find(" (attained first at k = ");
    const auto from = e.out.rfind(" = ", at) + 3;
    const std::string value = e.out.substr(from, at - from);
    const std::string k = e.out.substr(at + 24, e.out.find(')', at) - at - 24);
    const std::string gradient = e.out.substr(e.out.find(" = ", e.out.find("gradient of ")) + 3);
    const CommandRun s =
        run_in_process({"eval", "minimax", problem, "--stream", "--gradient"}, x + "\n");
    EXPECT_EQ(s.out, value + " " + k + " " + gradient) << problem << " at " << x;
  }

  const CommandRun k3 = run_kinkbench("eval minimax 1 --k 3 --x 1,1");
  ASSERT_EQ(k3.status, 0) << k3.err;
  EXPECT_NE(k3.out.find("f_3      = 2\n"), std::string::npos) << k3.out;

  // Nothing asked for, nothing printed.
  const CommandRun bare = run_kinkbench("eval nonsmooth 11");
  ASSERT_EQ(bare.status, 0) << bare.err;
  EXPECT_EQ(bare.out.find("gradient"), std::string::npos) << bare.out;
  EXPECT_EQ(bare.out.find("hessian"), std::string::npos) << bare.out;
}

TEST(KinkbenchCommand, JsonIsOneObjectWithTheNumbers) {
  const CommandRun r = run_kinkbench("eval nonsmooth 11 --x 0,1,2,-1 --gradient --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"collection\":\"nonsmooth\",\"problem\":11,\"n\":4,\"x\":[0.0,1.0,2.0,-1.0],"
            "\"value\":-44.0,\"gradient\":[-5.0,-3.0,-13.0,5.0]}\n");
}

TEST(KinkbenchCommand, JsonTellsTheNonFiniteNumbersApart) {
  // At x = (-inf, 2) minimax problem 1 has f_1 = +inf and df_1/dx_1 = -inf; at
  // (nan, 1) everything is NaN.
  const CommandRun inf = run_kinkbench("eval minimax 1 --x=-inf,2 --k 1 --gradient --json");
  ASSERT_EQ(inf.status, 0) << inf.err;
  EXPECT_EQ(inf.out,
            "{\"collection\":\"minimax\",\"problem\":1,\"n\":2,\"x\":[\"-inf\",2.0],"
            "\"form\":\"max f_k\",\"k\":1,"
            "\"objective\":false,\"value\":\"inf\",\"gradient\":[\"-inf\",32.0]}\n");
  const CommandRun nan = run_kinkbench("eval minimax 1 --x nan,1 --k 1 --json");
  ASSERT_EQ(nan.status, 0) << nan.err;
  EXPECT_NE(nan.out.find("\"x\":[\"nan\",1.0]"), std::string::npos) << nan.out;
  EXPECT_NE(nan.out.find("\"value\":\"nan\""), std::string::npos) << nan.out;
}

TEST(KinkbenchCommand, JsonAndTextKeepEveryBitOfTheNumbers) {
  const CommandRun json = run_kinkbench("eval minimax 1 --x 0.1,0.30000000000000004 --json");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"x\":[0.1,0.30000000000000004]"), std::string::npos) << json.out;

  // What the text output prints reads back to the same point, non-finite values included.
  const CommandRun first = run_kinkbench("eval minimax 2 --x 0.1,-1e-310 --gradient");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string x = line_after(first.out, "x        = ");
  EXPECT_EQ(x, "0.10000000000000001 -9.9999999999999694e-311");
  std::string commas = x;
  for (char& c : commas) c = c == ' ' ? ',' : c;
  const CommandRun again = run_kinkbench("eval minimax 2 --x=" + commas + " --gradient");
  EXPECT_EQ(again.out, first.out);

  const CommandRun odd = run_kinkbench("eval minimax 1 --x=-inf,nan");
  ASSERT_EQ(odd.status, 0) << odd.err;
  EXPECT_EQ(line_after(odd.out, "x        = "), "-inf nan");
}

TEST(KinkbenchCommand, PointTakesTheBlackBoxNumberFormsAndNonFiniteWords) {
  const struct {
    const char* x;
    const char* printed;
  } cases[] = {
      {"1,-0.5", "1 -0.5"},
      {"2.5E-3,1.0D+00", "0.0025000000000000001 1"},
      {"1.0d0,+.5", "1 0.5"},
      {"'1, 2'", "1 2"},
      {"' 3 ,\t4 '", "3 4"},
      {"INF,-Inf", "inf -inf"},
      {"+inf,NaN", "inf nan"},
      {"1e-400,-1e-999", "0 -0"},
      {"4.9e-324,-2.4703282292062328e-324", "4.9406564584124654e-324 -4.9406564584124654e-324"},
      {"1.7976931348623157e308,-1.7976931348623158e308",
       "1.7976931348623157e+308 -1.7976931348623157e+308"},
  };
  for (const auto& c : cases) {
    const CommandRun r = run_kinkbench(std::string("eval minimax 1 --x ") + c.x);
    ASSERT_EQ(r.status, 0) << c.x << ": " << r.err;
    EXPECT_EQ(line_after(r.out, "x        = "), c.printed) << c.x;
  }
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(KinkbenchCommand, AllPrintsEachPartialFunctionAndItsGradientAsARow) {
  // Row k of --all must be what --k k --gradient prints, digit for digit; n differs from
  // m, and from the problem's minimum in the last case.
  for (const char* args : {"1", "7 --x 0.5,-1,2", "4 --n 5"}) {
    const CommandRun all = run_kinkbench(std::string("eval minimax ") + args + " --all");
    ASSERT_EQ(all.status, 0) << args << ": " << all.err;
    const std::vector<std::string> out = split_lines(all.out);
    size_t at = 0;
    while (at < out.size() && !out[at].starts_with("values   = ")) ++at;
    ASSERT_LT(at, out.size()) << all.out;
    std::istringstream values(out[at].substr(11));
    int k = 0;
    for (std::string fk; values >> fk;) {
      ++k;
      const CommandRun one = run_kinkbench(std::string("eval minimax ") + args +
                                           " --gradient --k " + std::to_string(k));
      ASSERT_EQ(one.status, 0) << args << " k " << k;
      const std::string fk_line = line_after(one.out, "\nf_");
      EXPECT_EQ(fk, fk_line.substr(fk_line.find("= ") + 2)) << args << " k " << k;
      ASSERT_LT(at + static_cast<size_t>(k), out.size()) << all.out;
      EXPECT_EQ(out[at + static_cast<size_t>(k)].substr(0, 11),
                k == 1 ? "jacobian = " : std::string(11, ' '))
          << all.out;
      EXPECT_EQ(out[at + static_cast<size_t>(k)].substr(11),
                line_after(one.out, "gradient of f_" + std::to_string(k) + " = "))
          << args << " k " << k;
    }
    EXPECT_EQ(at + static_cast<size_t>(k) + 1, out.size()) << all.out;  // m rows, no more
    EXPECT_GE(k, 3) << all.out;
  }
  const CommandRun json = run_kinkbench("eval minimax 1 --all --json");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"collection\":\"minimax\",\"problem\":1,\"n\":2,\"x\":[2.0,2.0],\"form\":"
            "\"max f_k\",\"k\":1,\"objective\":true,\"value\":20.0,\"values\":[20.0,0.0,2.0],"
            "\"jacobian\":[[4.0,32.0],[0.0,0.0],[-2.0,2.0]]}\n");
}

TEST(KinkbenchCommand, BadArgumentsGiveOneLineAndStatusTwo) {
  expect_usage_errors({
      {"", "no command given"},
      {"frobnicate", "unknown command 'frobnicate'"},
      {"help frobnicate", "unknown command 'frobnicate'"},
      {"--colour", "unknown option '--colour'"},
      {"eval minimax", "eval needs a collection and a problem"},
      {"eval minimax 26", "unknown problem '26' (1..25)"},
      {"eval nonsmooth x1", "unknown problem 'x1'"},
      {"eval nonsmooth 11 --n 3", "nonsmooth problem 11 needs n >= 4, got 3"},
      {"eval minimax 1 --k 4", "--k must be 1..3, got '4'"},
      {"eval nonsmooth 1 --k 1", "--k applies to the minimax collection"},
      {"eval nonsmooth 1 --all", "--all applies to the minimax collection"},
      {"eval minimax 1 --colour", "unknown option '--colour'"},
      {"eval minimax 1 --n", "option '--n' needs a value"},
      {"eval minimax 1 --n --x 1,2", "option '--n' needs a value"},
      // a bare -- is no option: it is refused as the value it was given as
      {"eval minimax 1 --x --", "--x needs comma-separated numbers, got '--' as coordinate 1"},
      {"eval minimax 1 --x 1,2 --x 3,4", "option '--x' is given more than once"},
      {"eval minimax 1 --gradient=yes", "option '--gradient' takes no value"},
      {"eval nonsmooth 16 --n 11", "defined for n = 10 only"},
      {"eval nonsmooth 21 --n 47", "nonsmooth problem 21 is defined for n = 48 only, got 47"},
      {"check minimax 0", "unknown problem '0'"},
      {"eval minimax 1 --stream --x 1,2", "--stream reads the points from standard input"},
      {"eval minimax 1 --stream --hessian", "--stream does not give the Hessian"},
      {"eval minimax 1 --stream --all", "--stream does not take --all"},
      {"eval minimax 1 --stream --k 0", "--k must be 1..3, got '0'"},
      {"eval nonsmooth 1 --stream --k 1", "--k applies to the minimax collection"},
      {"eval nonsmooth 21 --stream --n 47", "nonsmooth problem 21"},
  });
}

TEST(KinkbenchCommand, OneArgumentTooManyIsNamed) {
  expect_usage_errors({
      {"eval minimax 1 2", "unexpected argument '2' (see"},  // no hint without --x
      {"eval minimax 1 --x 1 2", "unexpected argument '2': --x takes one comma-separated list"},
      {"eval minimax 1 -g", "unknown option '-g'"},
      {"eval minimax 1 -", "unexpected argument '-'"},
      // one command a call: a second command's name is an argument of the first
      {"list check", "unknown collection 'check'"},
      {"eval minimax 1 list", "unexpected argument 'list'"},
      {"eval minimax 1 -- -5", "unexpected argument '-5'"},
      {"list minimax nonsmooth", "unknown problem 'nonsmooth' (1..25)"},
      {"list minimax 3 4", "unexpected argument '4'"},
      {"check minimax 1 2", "unexpected argument '2'"},
  });
}

TEST(KinkbenchCommand, NumbersOutOfRangeAreCalledSo) {
  expect_usage_errors({
      {"eval minimax 1 --n 99999999999", "--n 99999999999 is out of range (1..10000)"},
      {"eval nonsmooth 23 --n 2000000000", "--n 2000000000 is out of range (1..10000)"},
      {"eval nonsmooth 23 --n 10001", "--n 10001 is out of range (1..10000)"},
      {"eval nonsmooth 23 --n 0", "--n 0 is out of range (1..10000)"},
      {"eval minimax 1 --n 2.0", "--n needs a whole number, got '2.0'"},
      {"eval minimax 1 --k 99999999999999999999", "--k must be 1..3"},
  });
}

TEST(KinkbenchCommand, UnknownCollectionListsTheValidOnes) {
  expect_usage_errors({
      {"list everything", "unknown collection 'everything' (minimax or nonsmooth)"},
      {"eval Minimax 1", "unknown collection 'Minimax' (minimax or nonsmooth)"},
      {"check smooth", "unknown collection 'smooth' (minimax or nonsmooth)"},
  });
}

TEST(KinkbenchCommand, PointOfTheWrongSizeSaysWhichNWouldFit) {
  expect_usage_errors({
      {"eval nonsmooth 11 --x 1,2,3,4,5", "--x has 5 coordinates, n is 4; --n 5 would fit"},
      {"eval nonsmooth 11 --n 6 --x 1,2,3,4", "--x has 4 coordinates, n is 6; --n 4 would fit"},
      {"eval nonsmooth 11 --x 1,2",
       "--x has 2 coordinates, n is 4; nonsmooth problem 11 needs n >= 4"},
      {"eval minimax 1 --x 1", "--x has 1 coordinate, n is 2; minimax problem 1 needs n >= 2"},
      {"eval minimax 1 --n 3 --x 1,2", "--x has 2 coordinates, n is 3; --n 2 would fit"},
      {"eval nonsmooth 16 --x 1,2", "n is 10; nonsmooth problem 16 is defined for n = 10 only"},
  });
}

TEST(KinkbenchCommand, PointWithSomethingElseThanNumbersIsRejected) {
  expect_usage_errors({
      {"eval minimax 1 --x 1,abc", "--x needs comma-separated numbers, got 'abc' as coordinate 2"},
      {"eval minimax 1 --x 1,,2", "--x needs comma-separated numbers, coordinate 2 is empty"},
      // Only an infinity could hold these; the command does not invent one.
      {"eval minimax 3 --x 1e400,0",
       "--x: '1e400' (coordinate 1) is beyond the largest double, about 1.8e308; write inf"},
      {"eval minimax 3 --x 0,-1.8e308", "'-1.8e308' (coordinate 2) is beyond the largest double"},
      {"eval minimax 3 --x 0,1D99999999999999999999", "is beyond the largest double"},
      {"eval minimax 1 --x 1,", "coordinate 2 is empty"},
      // Forms neither the black boxes nor the non-finite words cover.
      {"eval minimax 1 --x 0x10,1", "got '0x10' as coordinate 1"},
      {"eval minimax 1 --x 1,infinity", "got 'infinity' as coordinate 2"},
      {"eval minimax 1 --x 1,-nan", "got '-nan' as coordinate 2"},
      {"eval minimax 1 --x 2*1,1", "got '2*1' as coordinate 1"},
      {"eval minimax 1 --x '1 2,3'", "got '1 2' as coordinate 1"},
      {"eval minimax 1 --x 1.5.1,2", "got '1.5.1' as coordinate 1"},
  });
}

// Nonsmooth 25 is unbounded below although its fmin is 0: the fmin column says so, and
// so does its row of list --json, beside fmin.
TEST(KinkbenchCommand, ListMarksTheFminOfUnboundedProblems) {
  const CommandRun r = run_kinkbench("list nonsmooth");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto row25 = table_row(r.out, "nonsmooth collection", 25);
  ASSERT_GE(row25.size(), 3u);
  EXPECT_EQ(row25[2], "0!");
  EXPECT_EQ(table_row(r.out, "nonsmooth collection", 12)[2], "0");
  EXPECT_NE(r.out.find("! fmin is no bound: the problem is unbounded below"), std::string::npos);
  const auto json = nlohmann::json::parse(run_kinkbench("list nonsmooth --json").out);
  const auto& p25 = json["nonsmooth"][24];
  EXPECT_EQ(p25["fmin"], 0.0);
  EXPECT_EQ(p25["unbounded_below"], true);
  EXPECT_EQ(p25["facts"]["unbounded_below"], true);
  for (const auto& row : json["nonsmooth"]) EXPECT_TRUE(row.contains("max_n")) << row["problem"];
}

// One problem: every field of its list --json row, facts included.
TEST(KinkbenchCommand, ListOneProblemShowsEverythingListKnows) {
  const CommandRun one = run_kinkbench("list minimax 3 --json");
  ASSERT_EQ(one.status, 0) << one.err;
  const auto row = nlohmann::json::parse(one.out);
  const auto all = nlohmann::json::parse(run_kinkbench("list minimax --json").out);
  EXPECT_EQ(row, all["minimax"][2]);
  EXPECT_EQ(row["problem"], 3);
  EXPECT_EQ(row["facts"]["number"], 3);
  const CommandRun text = run_kinkbench("list minimax 3");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(text.out.starts_with("minimax problem 3\n")) << text.out;
  for (const auto& [key, value] : row.items()) {
    if (key != "facts") {
      EXPECT_NE(text.out.find("\n" + key + ": "), std::string::npos) << key;
    }
  }
  // The facts, indented under their heading.
  const auto facts = text.out.find("\nfacts:\n  ");
  ASSERT_NE(facts, std::string::npos) << text.out;
  for (const auto& [key, value] : row["facts"].items()) {
    EXPECT_NE(text.out.find("\n  " + key + ": ", facts), std::string::npos) << key;
  }
  expect_usage_errors({{"list minimax 26", "'26'"}});
}

TEST(KinkbenchCommand, ListAndCheckSpeakJson) {
  const CommandRun list = run_kinkbench("list --json");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(lines(list.out), 1);
  EXPECT_TRUE(
      list.out.starts_with("{\"minimax\":[{\"problem\":1,\"min_n\":2,\"max_n\":null,\"m\":3,"))
      << list.out;
  EXPECT_NE(list.out.find("],\"nonsmooth\":[{\"problem\":1,"), std::string::npos);
  EXPECT_EQ(occurrences(list.out, "{\"problem\":"), 50);
  // Minimax problem 11 reads the same up to max_n: look among the nonsmooth ones.
  const std::string nonsmooth = list.out.substr(list.out.find("\"nonsmooth\":["));
  EXPECT_NE(nonsmooth.find("{\"problem\":16,\"min_n\":10,\"max_n\":10,"), std::string::npos);
  EXPECT_NE(nonsmooth.find("{\"problem\":11,\"min_n\":4,\"max_n\":null,"), std::string::npos);
  EXPECT_EQ(occurrences(run_kinkbench("list nonsmooth --json").out, "{\"problem\":"), 25);

  const CommandRun check = run_kinkbench("check nonsmooth 21 --json");
  ASSERT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(lines(check.out), 1);
  EXPECT_TRUE(check.out.starts_with("{\"problems\":[{\"collection\":\"nonsmooth\",\"problem\":21,"))
      << check.out;
  EXPECT_TRUE(check.out.ends_with("\"ok\":true}],\"ok\":true}\n")) << check.out;
}

// Every problem's stored optimum, as the C++ API holds it, with the gap measured in the
// problem's objective form.
TEST(KinkbenchCommand, ListJsonCarriesEveryBestKnownOptimum) {
  const CommandRun r = run_kinkbench("list --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = nlohmann::json::parse(r.out);
  ASSERT_EQ(out.at("minimax").size(), 25u);
  ASSERT_EQ(out.at("nonsmooth").size(), 25u);
  const auto check = [](const nlohmann::json& row, const kinkbench::BestKnown* best,
                        double start_value, const std::string& form) {
    const std::string where = row.dump().substr(0, 40);
    ASSERT_NE(best, nullptr) << where;
    ASSERT_TRUE(row.at("best_value").is_number()) << where;
    EXPECT_EQ(row.at("best_value").get<double>(), best->value) << where;
    EXPECT_EQ(row.at("best_point").get<std::vector<double>>(),
              std::vector<double>(best->point.begin(), best->point.end()))
        << where;
    EXPECT_EQ(row.at("best_point").size(), row.at("min_n").get<size_t>()) << where;
    EXPECT_EQ(row.at("best_status").get<std::string>(), best->status) << where;
    EXPECT_EQ(row.at("unbounded_below").get<bool>(), best->unbounded_below) << where;
    EXPECT_EQ(row.at("value_at_start").get<double>(), start_value) << where;
    EXPECT_EQ(row.at("gap_at_start").get<double>(), start_value - best->value) << where;
    EXPECT_EQ(row.at("form").get<std::string>(), form) << where;
  };
  for (const auto& row : out.at("minimax")) {
    const auto p = kinkbench::MinimaxProblem::create(row.at("problem").get<int>(),
                                                     row.at("min_n").get<int>(), 65);
    ASSERT_TRUE(p);
    check(row, p->best_known(), p->objective(p->start()).value, p->form());
  }
  for (const auto& row : out.at("nonsmooth")) {
    const auto p = kinkbench::NonsmoothProblem::create(row.at("problem").get<int>(),
                                                       row.at("min_n").get<int>());
    ASSERT_TRUE(p);
    double f = 0;
    p->value(p->start(), f);
    check(row, p->best_known(), f, "f");
  }
  const auto& tsp = out.at("nonsmooth").at(20);
  EXPECT_EQ(tsp.at("value_at_start"), -464816.0);
  EXPECT_EQ(tsp.at("best_value"), -638565.0);
  EXPECT_EQ(tsp.at("gap_at_start"), 173749.0);
  EXPECT_EQ(tsp.at("best_status"), "certified");
  EXPECT_EQ(out.at("nonsmooth").at(12).at("best_status"), "local");
  EXPECT_EQ(out.at("nonsmooth").at(12).at("unbounded_below"), true);
}

TEST(KinkbenchCommand, CheckPassesForEveryProblemOfBothCollections) {
  const CommandRun r = run_kinkbench("check");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(occurrences(r.out, " ok\n"), 50) << r.out;
  EXPECT_EQ(lines(run_kinkbench("check nonsmooth 21").out), 3);
}

std::string point_of(const std::string& head, int zeros) {
  std::string x = head;
  for (int i = 0; i < zeros; ++i) x += ",0";
  return x;
}

TEST(KinkbenchCommand, CheckTakesAPointAndAnN) {
  // max |x_i| is smooth where one |x_i| leads and has a kink where two tie: the check
  // must be made at the point given, not near the start.
  const CommandRun inside = run_kinkbench("check nonsmooth 20 --x " + point_of("1,0.5", 18));
  EXPECT_EQ(inside.status, 0) << inside.out << inside.err;
  EXPECT_EQ(occurrences(inside.out, " ok\n"), 1) << inside.out;
  const CommandRun kink = run_kinkbench("check nonsmooth 20 --x " + point_of("1,1", 18));
  EXPECT_EQ(kink.status, 1) << kink.out << kink.err;
  EXPECT_NE(kink.out.find("FAILED"), std::string::npos) << kink.out;
  // --n sets the size of the point as eval's does.
  EXPECT_EQ(run_kinkbench("check nonsmooth 20 --n 40 --x " + point_of("1,0.5", 38)).status, 0);
  EXPECT_EQ(run_kinkbench("check minimax 1 --n 5 --json").status, 0);
  EXPECT_EQ(run_kinkbench("check nonsmooth 3 --n 2000").status, 0);  // the limit itself
  expect_usage_errors({
      {"check nonsmooth 20 --n 40 --x " + point_of("1", 19),
       "--x has 20 coordinates, n is 40; --n 20 would fit"},
      // Minimax problems have no largest n.
      {"check minimax 1 --n 3 --x 1,2", "--x has 2 coordinates, n is 3; --n 2 would fit"},
      {"check nonsmooth 16 --x 1,2", "n is 10; nonsmooth problem 16 is defined for n = 10 only"},
      {"check --x 1,2", "--x needs a collection and a problem"},
      {"check minimax --n 3", "--n needs a collection and a problem"},
      {"check nonsmooth 21 --n 47", "nonsmooth problem 21 is defined for n = 48 only, got 47"},
      {"check nonsmooth 3 --n 2001", "check compares Hessians; it takes n <= 2000, got 2001"},
      {"check nonsmooth 1 --x 1e400,1", "'1e400' (coordinate 1) is beyond the largest double"},
      {"check nonsmooth 1 --x", "option '--x' needs a value"},
      {"check nonsmooth 1 --n --x 1,2", "option '--n' needs a value"},
  });
}

TEST(KinkbenchCommand, HelpIsAvailableForEveryCommand) {
  for (const char* args : {"--help", "help", "list --help", "eval --help", "check --help"}) {
    const CommandRun r = run_kinkbench(args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_TRUE(r.out.starts_with("usage: kinkbench")) << args << ": " << r.out;
    EXPECT_TRUE(r.err.empty()) << args;
    // A help wider than a terminal of 80 columns breaks its own alignment.
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  }
  EXPECT_EQ(run_kinkbench("help eval").out, run_kinkbench("eval --help").out);
  // The general help points at the commands' own; theirs do not point at themselves.
  EXPECT_NE(run_kinkbench("--help").out.find("kinkbench <command> --help"), std::string::npos);
  for (const char* command : {"list", "eval", "check"}) {
    const std::string help = run_kinkbench(std::string(command) + " --help").out;
    EXPECT_EQ(help.find("<command>"), std::string::npos) << help;
  }
  // The accepted number forms, and the spellings of non-finite values, are documented.
  const std::string eval = run_kinkbench("eval --help").out;
  for (const char* form :
       {"1.0D+00", "inf, -inf", "\"inf\", \"-inf\" and \"nan\"", "'error line L: ...'"}) {
    EXPECT_NE(eval.find(form), std::string::npos) << form << " in\n" << eval;
  }
}

TEST(KinkbenchCommand, VersionIsTheProjectVersion) {
  const CommandRun r = run_kinkbench("--version");
  EXPECT_EQ(r.status, 0);
  ASSERT_TRUE(r.out.starts_with("kinkbench ") && r.out.ends_with("\n")) << r.out;
  // MAJOR.MINOR.PATCH
  const std::string version = r.out.substr(10, r.out.size() - 11);
  EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
  EXPECT_EQ(occurrences(version, "."), 2) << version;
  EXPECT_FALSE(version.starts_with(".") || version.ends_with(".") || occurrences(version, "..") > 0)
      << version;
}

// Peak resident memory, in kilobytes, of the command run with `args`, output discarded.
long peak_kilobytes(std::vector<std::string> args, int& status) {
  std::vector<char*> argv{const_cast<char*>(KINKBENCH_CLI_PATH)};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int raw = 0;
  rusage usage{};
  wait4(child, &raw, 0, &usage);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return usage.ru_maxrss;
}

TEST(KinkbenchCommand, EvalAllocatesOnlyWhatItPrints) {
  // The packed Hessian at n = 10000 takes 400 MB; x takes 80 kB.
  int status = -1;
  const long bare = peak_kilobytes({"eval", "minimax", "1", "--n", "10000"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_LT(bare, 150 * 1024);
  const long gradient =
      peak_kilobytes({"eval", "nonsmooth", "1", "--n", "10000", "--gradient"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_LT(gradient, 150 * 1024);
}

TEST(KinkbenchCommand, UserTextIsShownEscapedOnOneLine) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"eval", "mini\nmax", "1"}, R"(unknown collection 'mini\nmax' (minimax or nonsmooth))"},
      {{"eval", "minimax", "1\r"}, R"(unknown problem '1\r' (1..25))"},
      {{"a\tb\x01"}, R"(unknown command 'a\tb\x01')"},
      {{"help", "x\ny"}, R"(unknown command 'x\ny')"},
      {{"eval", "minimax", "1", "--x", "1,a\nb"}, R"(got 'a\nb' as coordinate 2)"},
      {{"eval", "minimax", "1", "--x", "1,,\n"}, R"(coordinate 2 is empty in '1,,\n')"},
      {{"eval", "minimax", "1", "--k", "2\n"}, R"(--k must be 1..3, got '2\n')"},
      {{"eval", "minimax", "1", "--n", "\x1b[2J"}, R"(--n needs a whole number, got '\x1b[2J')"},
      {{"eval", "minimax", "1", "it's\\"}, R"(unexpected argument 'it\'s\\')"},
      {{"eval", "minimax", "1", "--colour\n"}, R"(unknown option '--colour\n')"},
      {{"list", "\xc3\xa4"}, R"(unknown collection '\xc3\xa4')"},
      {{"check", "minimax", "\x7f"}, R"(unknown problem '\x7f')"},
      {{"eval", "minimax", "20", "--active", "\xff\n"},
       R"(--active takes one number >= 0, got '\xff\n')"},
  };
  for (const auto& c : cases) {
    const CommandRun r = run_in_process(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    const bool printable =
        !r.err.empty() &&
        std::all_of(r.err.begin(), r.err.end() - 1, [](char ch) { return ch >= ' ' && ch <= '~'; });
    EXPECT_TRUE(printable && r.err.ends_with('\n')) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << " in " << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  // The program itself: an argument with a line break in it, given through the shell.
  expect_usage_errors({{"eval 'mini\nmax' 1", R"(unknown collection 'mini\nmax')"}});
}

TEST(KinkbenchCommand, RunCommandWritesWhereItIsToldAsTheProgramDoes) {
  for (const char* line :
       {"list", "list nonsmooth --json", "eval minimax 1 --gradient --hessian --all",
        "eval nonsmooth 2 --json", "check minimax 2", "check nonsmooth 3 --json", "help eval",
        "--version", "eval minimax 26", "frobnicate", "eval minimax 1 --n",
        "eval minimax 1 --gradient=yes", ""}) {
    const CommandRun program = run_kinkbench(line);
    const CommandRun function = run_in_process(words_of(line));
    EXPECT_EQ(function.status, program.status) << line;
    EXPECT_EQ(function.out, program.out) << line;
    EXPECT_EQ(function.err, program.err) << line;
  }
  // --stream reads the file it is given.
  const std::string points = "2 2\n1,abc\n\n-1 0.5\n";
  const std::string input = testing::TempDir() + "kb_cli_points_" + std::to_string(getpid());
  std::ofstream(input) << points;
  const std::string args = "eval minimax 1 --stream --gradient";
  const CommandRun program = run_kinkbench(args + " <" + input);
  const CommandRun function = run_in_process(words_of(args), points);
  std::remove(input.c_str());
  EXPECT_EQ(program.status, 0) << program.err;
  EXPECT_EQ(lines(program.out), 4) << program.out;
  EXPECT_EQ(function.status, program.status);
  EXPECT_EQ(function.out, program.out);
  EXPECT_EQ(function.err, program.err);
}
