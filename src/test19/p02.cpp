// Problem 2: |x1^2 + (x2 - 1)^2 - 1| + x2.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p02 {
namespace {

double circle(const double* x) {
  const double b = x[1] - 1;
  return x[0] * x[0] + b * b - 1;
}

// 2 carrying the sign of t by comparison: t = 0 and t = -0 count as positive, and so
// does a NaN t.
double sigma(const double* x) { return 2 * detail::sgnlt(circle(x)); }

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -1.5;
  x[1] = 2;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  *f = std::fabs(circle(x)) + x[1];
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double s = sigma(x);
  g[0] = s * x[0];
  g[1] = s * (x[1] - 1) + 1;
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const double s = sigma(x);
  h[0] = s;
  h[2] = s;
}

// x2 + max(t, -t).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  const double t = circle(x);
  *out.s = x[1];
  out.ds[1] = 1;
  out.phi[0] = t;
  out.phi[1] = -t;
  for (int p = 0; p < 2; ++p) {
    const double s = p == 0 ? 2 : -2;
    out.grad(p)[0] = s * x[0];
    out.grad(p)[1] = s * (x[1] - 1);
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return index == 0 ? "+t" : "-t"; }

}  // namespace kinkbench::nonsmooth::p02
