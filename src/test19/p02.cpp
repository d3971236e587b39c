// Problem 2: |x1^2 + (x2 - 1)^2 - 1| + x2.
#include <cmath>

#include "core/rules.hpp"
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

}  // namespace kinkbench::nonsmooth::p02
