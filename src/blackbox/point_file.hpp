// Reader of the point file: one value per line in free decimal form.
//
// Grammar. x(1) is the first value at or after the start of the text; each further
// x(i) is sought from the start of the next line. Lines holding only blanks are passed
// over while a value is sought; the rest of a line after the item taken is ignored.
// Blanks are space and tab, and a carriage return (or a run of them) right before the
// line end; a carriage return anywhere else is outside the grammar. An item ends at a
// blank, a comma, a slash or the end of the line (or text). An item is
//   value:  [+-] (digits [. [digits]] | . digits) [(E|e|D|d) [+-] digits]
//   r*c:    r unsigned digits with a non-zero digit, then '*', then a value c (stands for c)
//   null:   r* followed by a separator, or a comma, or a slash as the line's first item;
//           the element keeps the caller's value.
// Anything else (NaN, Inf, 1.2.3, 0*5, 1+5, control bytes, ...) is not a number.
// Conversion is correctly rounded to nearest; a magnitude beyond the double range
// becomes an infinity and one below it a subnormal or zero, as strtod rounds them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kinkbench::blackbox {

enum class PointStatus {
  ok,
  open_failed,   // errno_value tells why
  read_failed,   // a read() call failed; errno_value tells why
  end_of_file,   // the text ended while x(item) was sought
  not_a_number,  // the item for x(item), starting on `line`, is outside the grammar
};

struct PointResult {
  PointStatus status = PointStatus::ok;
  int item = 0;           // 1-based element being read when the reading failed
  std::int64_t line = 0;  // 1-based line of that element's item
  int errno_value = 0;
};

// All readers fill x(1..n) and keep the caller's value of every element given as a
// null. On failure x(1..item-1) hold what was read and the rest is unchanged. They
// never read past the bytes given and use no memory beyond a fixed amount of stack.
PointResult parse_point(const char* text, std::size_t size, double* x, int n);

// Reads from fd through the caller's buffer (any capacity >= 1), only as far as the
// n-th item's line needs; the reading stops there.
PointResult read_point_fd(int fd, double* x, int n, char* buffer, std::size_t capacity);

// Opens path, reads it through a fixed static buffer (not reentrant) and closes it.
PointResult read_point_file(const char* path, double* x, int n);

// Whether text[0..size) is one value item and nothing else, so that a file holding just
// this text would be read as that value; *out then holds it. Repeat counts and nulls
// are not values. For other inputs that take numbers as the black boxes do.
bool parse_value(const char* text, std::size_t size, double* out);

}  // namespace kinkbench::blackbox
