// Nonsmooth problem 24: the sum of the absolute row sums |S(i)| over all n rows.
// Piecewise linear, so its Hessian is the cleared triangle.
#include <cmath>

#include "core/rules.hpp"
#include "test19/hilbert_rows.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p24 {

void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 1.0;
}

void value(int n, const double* x, double* f, const double* /*data*/) {
  double sum = 0.0;
  for (int i = 1; i <= n; ++i) sum += std::fabs(hilbert_row(n, x, i));
  *f = sum;
}

// Rows are added onto the cleared g in increasing i; the sign bit decides at S(i) = 0.
void gradient(int n, const double* x, double* g, const double* /*data*/) {
  for (int i = 1; i <= n; ++i) {
    const double sigma = detail::sgnbit(hilbert_row(n, x, i));
    for (int j = 1; j <= n; ++j) g[j - 1] += sigma / static_cast<double>(i + j - 1);
  }
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

// n groups max(S(i), -S(i)).
int decompose_groups(int n, int* sizes) {
  if (sizes != nullptr) {
    for (int i = 0; i < n; ++i) sizes[i] = 2;
  }
  return n;
}

void decompose(int n, const double* x, const double* /*data*/, const PieceOut& out) {
  for (int i = 1; i <= n; ++i) {
    const double s = hilbert_row(n, x, i);
    out.phi[2 * i - 2] = s;
    out.phi[2 * i - 1] = -s;
    for (int j = 1; j <= n; ++j) {
      const double g = 1.0 / static_cast<double>(i + j - 1);
      out.grad(2 * i - 2)[j - 1] = g;
      out.grad(2 * i - 1)[j - 1] = -g;
    }
  }
}

std::string piece_name(int /*n*/, int group, int index) {
  return signed_name(index == 0, "S", group);
}

}  // namespace kinkbench::nonsmooth::p24
