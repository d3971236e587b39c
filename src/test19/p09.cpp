// Problem 9: -x1 + 2 t + 1.75 |t| with t = x1^2 + x2^2 - 1.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p09 {
namespace {

double circle(const double* x) { return x[0] * x[0] + x[1] * x[1] - 1; }

// 4 + 3.5 carrying the sign of t by comparison: 7.5 for t >= 0 (-0 and NaN included),
// 0.5 for t < 0.
double weight(const double* x) { return 4 + 3.5 * detail::sgnlt(circle(x)); }

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -1;
  x[1] = -1;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const double t = circle(x);
  *f = -x[0] + 2 * t + 1.75 * std::fabs(t);
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double w = weight(x);
  g[0] = w * x[0] - 1;
  g[1] = w * x[1];
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const double w = weight(x);
  h[0] = w;
  h[2] = w;
}

// (-x1 + 2 t) + max(1.75 t, -1.75 t).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  const double t = circle(x);
  *out.s = -x[0] + 2 * t;
  out.ds[0] = 4 * x[0] - 1;
  out.ds[1] = 4 * x[1];
  out.phi[0] = 1.75 * t;
  out.phi[1] = -(1.75 * t);
  for (int p = 0; p < 2; ++p) {
    const double w = p == 0 ? 3.5 : -3.5;
    out.grad(p)[0] = w * x[0];
    out.grad(p)[1] = w * x[1];
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return index == 0 ? "+t" : "-t"; }

}  // namespace kinkbench::nonsmooth::p09
