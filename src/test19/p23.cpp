// Nonsmooth problem 23: the largest absolute row sum |S(i)| over all n rows. Piecewise
// linear, so its Hessian is the cleared triangle.
#include <cmath>

#include "core/rules.hpp"
#include "test19/hilbert_rows.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p23 {
namespace {

struct Row {
  int k;  // 1-based; 0 only for n <= 0
  double s;
};

// Row i is taken unless the running value is >= |S(i)|: the first largest row, and a NaN
// row sum is taken when it comes.
Row chosen(int n, const double* x) {
  Row r{0, 0.0};
  double running = -1e60;
  for (int i = 1; i <= n; ++i) {
    const double s = hilbert_row(n, x, i);
    if (!(running >= std::fabs(s))) {
      r = Row{i, s};
      running = std::fabs(s);
    }
  }
  return r;
}

}  // namespace

void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 1.0;
}

void value(int n, const double* x, double* f, const double* /*data*/) {
  if (n <= 0) return;
  double running = std::fabs(hilbert_row(n, x, 1));
  for (int i = 2; i <= n; ++i) {
    const double a = std::fabs(hilbert_row(n, x, i));
    if (detail::replaces_max(a, running)) running = a;
  }
  *f = running;
}

void gradient(int n, const double* x, double* g, const double* /*data*/) {
  const Row r = chosen(n, x);
  if (r.k == 0) return;
  const double sigma = detail::sgnbit(r.s);
  for (int j = 1; j <= n; ++j) g[j - 1] = sigma / static_cast<double>(r.k + j - 1);
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

// One group: +S(1)..+S(n), then -S(1)..-S(n).
int decompose_groups(int n, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2 * n;
  return 1;
}

void decompose(int n, const double* x, const double* /*data*/, const PieceOut& out) {
  for (int i = 1; i <= n; ++i) {
    const double s = hilbert_row(n, x, i);
    out.phi[i - 1] = s;
    out.phi[n + i - 1] = -s;
    for (int j = 1; j <= n; ++j) {
      const double g = 1.0 / static_cast<double>(i + j - 1);
      out.grad(i - 1)[j - 1] = g;
      out.grad(n + i - 1)[j - 1] = -g;
    }
  }
}

std::string piece_name(int n, int /*group*/, int index) {
  return signed_name(index < n, "S", index % n + 1);
}

}  // namespace kinkbench::nonsmooth::p23
