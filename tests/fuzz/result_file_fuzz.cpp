// The result writer over every double bit pattern. Properties: the file holds exactly 15
// characters and a newline; the field is "[-]0.dddddd" with "E+dd"/"E-dd" or "+ddd"/"-ddd",
// right-aligned, or a spelled non-finite; its sign is the value's sign bit; and its value
// is the double to six significant digits, checked against bounds computed in long double
// rather than by the writer's own method.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "blackbox/result_file.hpp"
#include "guarded.hpp"

namespace bb = kinkbench::blackbox;

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The result file: an anonymous memory file reopened by its /proc name, so that nothing
// is left behind (libFuzzer ends without running destructors) and no disk is touched.
std::string written_line(double v) {
  static const int memory = ::memfd_create("result", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(memory);
  kbfuzz::require(memory >= 0, "memfd_create");
  kbfuzz::require(bb::write_result_file(path.c_str(), v).status == bb::WriteStatus::ok,
                  "writing the result file failed");
  char buffer[64];
  const int fd = ::open(path.c_str(), O_RDONLY);
  kbfuzz::require(fd >= 0, "result file missing");
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  kbfuzz::require(got >= 0, "result file unreadable");
  return std::string(buffer, static_cast<std::size_t>(got));
}

void check_finite(double v, const std::string& field) {
  std::size_t at = field.find_first_not_of(' ');
  kbfuzz::require(at != std::string::npos, "blank field");
  const bool minus = field[at] == '-';
  kbfuzz::require(minus == std::signbit(v), "sign differs from the sign bit");
  if (minus) ++at;
  kbfuzz::require(field.compare(at, 2, "0.") == 0, "mantissa does not start with 0.");
  at += 2;
  long mantissa = 0;
  for (int i = 0; i < 6; ++i, ++at) {
    kbfuzz::require(is_digit(field[at]), "mantissa is not six digits");
    mantissa = mantissa * 10 + (field[at] - '0');
  }
  int exponent = 0;
  kbfuzz::require(field.size() - at == 4, "exponent of the wrong width");
  const bool three_digits = field[at] != 'E';
  if (!three_digits) ++at;
  kbfuzz::require(field[at] == '+' || field[at] == '-', "exponent without sign");
  const bool negative_exponent = field[at] == '-';
  for (++at; at < field.size(); ++at) {
    kbfuzz::require(is_digit(field[at]), "exponent digit");
    exponent = exponent * 10 + (field[at] - '0');
  }
  if (negative_exponent) exponent = -exponent;
  kbfuzz::require(three_digits == (exponent > 99 || exponent < -99),
                  "three exponent digits only beyond 99");

  if (v == 0) {
    kbfuzz::require(mantissa == 0 && exponent == 0, "zero is not 0.000000E+00");
    return;
  }
  kbfuzz::require(mantissa >= 100000, "mantissa not normalised");
  // |v| must lie within half a unit of the sixth digit of 0.dddddd * 10^exponent. The
  // bound is computed in long double; its own rounding is allowed for by a slack far
  // below the sixth digit, so exact ties (-44.21875) pass either way.
  const long double unit = std::pow(10.0L, exponent - 6);
  const long double shown = static_cast<long double>(mantissa) * unit;
  const long double error = std::fabs(std::fabs(static_cast<long double>(v)) - shown);
  kbfuzz::require(error <= 0.5L * unit + shown * 1e-17L, "not the value to six digits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double v = 0;
  std::memcpy(&v, data, sizeof v);

  const std::string line = written_line(v);
  kbfuzz::require(line.size() == bb::kResultWidth + 1, "line is not 15 characters and newline");
  kbfuzz::require(line.back() == '\n', "line does not end with a newline");
  const std::string field = line.substr(0, bb::kResultWidth);
  kbfuzz::require(field.find_first_of("\n\r\t", 0) == std::string::npos && field[0] != '\0',
                  "control byte in the field");
  kbfuzz::require(field.find(' ') == std::string::npos ||
                      field.find_first_not_of(' ') > field.find_last_of(' '),
                  "field not right-aligned");

  if (std::isnan(v)) {
    kbfuzz::require(field == "            NaN", "NaN misspelled");
  } else if (std::isinf(v)) {
    kbfuzz::require(field == (v > 0 ? "       Infinity" : "      -Infinity"),
                    "infinity misspelled");
  } else {
    check_finite(v, field);
  }
  return 0;
}
