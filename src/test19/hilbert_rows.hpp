// Row sums of the Hilbert-type system shared by problems 23 and 24.
#pragma once

namespace kinkbench::nonsmooth {

// S(i) = sum_{j=1..n} x(j) / (i + j - 1), 1-based i, summed in increasing j; each term a
// real division by the integer i + j - 1.
inline double hilbert_row(int n, const double* x, int i) {
  double s = 0.0;
  for (int j = 1; j <= n; ++j) s += x[j - 1] / static_cast<double>(i + j - 1);
  return s;
}

}  // namespace kinkbench::nonsmooth
