// Turns the command's argument texts into values, each failure into the one line the
// user sees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kinkbench::tools {

enum class Collection { minimax, nonsmooth };

const char* name(Collection collection);

// The user's text as a message shows it, on one line whatever it holds: a backslash,
// the quote, tab, carriage return and line feed as \\ \' \t \r \n, any other byte
// outside printable ASCII as \xHH.
std::string escaped(std::string_view text);
std::string quote(std::string_view text);  // escaped, between single quotes

// The command holds x, and with --hessian the packed Hessian: keep n to a size whose
// Hessian fits a few hundred megabytes.
constexpr int kMaxN = 10000;
// A printed Hessian is n(n+1)/2 numbers, held as text before it is written: at n = 10000
// that took gigabytes and many seconds. 2000 keeps it to some tens of megabytes.
constexpr int kMaxHessianN = 2000;

template <class T>
struct Parsed {
  T value{};
  std::string error;  // empty when value holds the result
  bool ok() const { return error.empty(); }
};

Parsed<Collection> collection_argument(std::string_view word);
Parsed<int> problem_argument(std::string_view text);     // 1..25
Parsed<int> dimension_option(std::string_view text);     // --n: 1..kMaxN
Parsed<int> index_option(std::string_view text, int m);  // --k: 1..m

// One number as --x and the point stream take it (see below); false, leaving out alone,
// for anything else. A literal whose magnitude is beyond the largest double is refused
// rather than taken as an infinity the user did not write (the words inf and -inf say
// that); one below the smallest subnormal is the signed zero or subnormal it rounds to,
// as the black boxes read it.
bool number_word(std::string_view text, double& out);
// Whether text is a literal of the black boxes' grammar that only an infinity could hold.
bool overflowing_literal(std::string_view text);

// --x: comma-separated numbers, blanks around each allowed. A number is what the black
// boxes' point-file reader takes, or inf, +inf, -inf, nan in any case: the command
// writes non-finite results with those spellings, and its output must read back.
Parsed<std::vector<double>> point_option(std::string_view text);

// Why x does not fit: which n would, or why none does.
struct Dimensions {
  int n;      // the n in use
  int min_n;  // the problem's
  int max_n;  // 0: no upper limit
};
std::string point_count_error(Collection collection, int problem, int count, Dimensions d);

}  // namespace kinkbench::tools
