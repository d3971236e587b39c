// Writer of the result file: one line holding a value in the "(E15.6)" form.
#pragma once

#include <cstddef>

namespace kinkbench::blackbox {

inline constexpr std::size_t kResultWidth = 15;

// Writes v into out[0..14], right-aligned, no terminator: a minus for a negative sign
// bit (-0 too), "0." and six significant digits rounded to nearest (ties to even, on
// the exact binary value), then "E+dd"/"E-dd" for decimal exponents up to 99 in
// magnitude and "+ddd"/"-ddd" beyond. Non-finite values are spelled as the Fortran
// runtime spells them in this field: "Infinity", "-Infinity", "NaN" (any sign).
void format_e15_6(double v, char* out);

enum class WriteStatus { ok, create_failed, write_failed, close_failed };

struct WriteResult {
  WriteStatus status = WriteStatus::ok;
  int errno_value = 0;
};

// Creates or truncates path and writes the formatted value and a newline in one
// write(). A failure after creation can leave the file short; the status says so.
WriteResult write_result_file(const char* path, double v);

}  // namespace kinkbench::blackbox
