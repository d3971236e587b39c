// Problem 9: -x1 + 2 t + 1.75 |t| with t = x1^2 + x2^2 - 1.
#include <cmath>

#include "core/rules.hpp"
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

}  // namespace kinkbench::nonsmooth::p09
