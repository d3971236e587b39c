// kinkbench eval --stream: points in, one answer line per input line out, flushed
// whenever no more input is waiting, so that a program in any language can keep the command open as
// a co-process instead of starting a black box per evaluation.
//
// An input line holds the n coordinates, separated by blanks or by commas (blanks
// allowed around a comma), each a number as --x takes it (inf and nan included); one
// carriage return before the line end is dropped. Every input line, a blank one too, gets
// exactly one answer line, so a client in lock-step never waits for an answer that is
// not coming:
//   text:  VALUE [K] [G_1 ... G_n]     K for the minimax collection only; 17 significant
//                                      digits, non-finite values as inf, -inf and nan
//   json:  {"line":L,"value":V[,"k":K][,"gradient":[...]]}   (non-finite as "inf", ...)
//   error: error line L: WHAT          json: {"line":L,"error":"WHAT"}
// L counts input lines from 1. A line longer than kMaxStreamLine bytes is answered with
// an error and skipped.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/arguments.hpp"

namespace kinkbench::tools {

struct StreamSetup {
  Collection collection = Collection::minimax;
  int problem = 1;  // 1..25
  int n = 0;        // 0: the problem's minimum
  int k = 0;        // minimax: 0 for the objective in the problem's form, else f_k
  bool gradient = false;
  bool json = false;
};

constexpr std::size_t kMaxStreamLine = std::size_t{1} << 20;

class PointStream {
 public:
  // Sets the problem up; error() says why that failed, in one line.
  explicit PointStream(const StreamSetup& setup);
  const std::string& error() const { return error_; }

  // Appends the answer to input line `number`, given without its '\n', to `out`,
  // ending in '\n'. With a failed set-up every answer is an error line.
  void answer(std::string_view line, long long number, std::string& out);

  // Answers every line of `in` on `out` until the end of input, flushing the answers
  // whenever no more input is waiting. A FILE with a descriptor is read through it, from
  // its current offset: nothing may have been read from `in` through stdio before.
  // Returns why reading or writing failed, or an empty string.
  std::string serve(std::FILE* in, std::FILE* out);

  // What serve() writes for the input `text`: the same session without files.
  std::string serve_text(std::string_view text);

 private:
  bool parse(std::string_view line, std::string& why);
  void evaluate();

  StreamSetup setup_;
  std::string error_;
  std::optional<MinimaxProblem> minimax_;
  std::optional<NonsmoothProblem> nonsmooth_;
  // Reused from line to line: the stream allocates nothing once they have grown.
  std::vector<double> x_, gradient_;
  std::string line_, out_, why_;
  double value_ = 0;
  int k_ = 0;
};

}  // namespace kinkbench::tools
