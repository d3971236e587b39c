// The data block of the cubic program shared by nonsmooth problems 13 and 25: A (10 x 5),
// b (10), C (5 x 5, symmetric), d (5) and e (5), stored one after another, matrices by
// columns, in the first 95 elements of the data area. Either problem's set-up writes it
// and either problem's routines read it.
#pragma once

namespace kinkbench::nonsmooth::cubic_program {

inline constexpr int kVariables = 5;
inline constexpr int kRows = 10;
inline constexpr int kSize = 95;

// Writes data[0..94]; every other element keeps its value.
void write(double* data);

// 1-based accessors into a data area that holds the block.
inline double a(const double* data, int i, int j) { return data[kRows * (j - 1) + i - 1]; }
inline double b(const double* data, int i) { return data[50 + i - 1]; }
inline double c(const double* data, int i, int j) {
  return data[60 + kVariables * (j - 1) + i - 1];
}
inline double d(const double* data, int j) { return data[85 + j - 1]; }
inline double e(const double* data, int j) { return data[90 + j - 1]; }

}  // namespace kinkbench::nonsmooth::cubic_program
