// Problem 10: piecewise on three regions, 5 sqrt(9 x1^2 + 16 x2^2) where x1 > |x2|,
// 9 x1 + 16 |x2| where 0 < x1 <= |x2|, and that minus x1^9 where x1 <= 0.
#include <cmath>

#include "core/rules.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p10 {
namespace {

// Tested first by every routine, so on x1 = |x2| all three use the linear regions.
bool elliptic(const double* x) { return x[0] > std::fabs(x[1]); }

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 3;
  x[1] = 2;
}

// When no region's test holds (a NaN in a comparison) f keeps the cleared 0.
void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  if (elliptic(x)) {
    *f = 5 * std::sqrt(9 * (x1 * x1) + 16 * (x2 * x2));
  } else if (0 < x1 && x1 <= std::fabs(x2)) {
    *f = 9 * x1 + 16 * std::fabs(x2);
  } else if (x1 <= 0) {
    *f = 9 * x1 + 16 * std::fabs(x2) - std::pow(x1, 9);
  }
}

// Outside the elliptic region the linear regions' derivatives apply, NaN points
// included; g(2) takes the sign bit of x2, so -0 gives -16.
void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  if (elliptic(x)) {
    const double root = std::sqrt(9 * (x1 * x1) + 16 * (x2 * x2));
    g[0] = 45 * x1 / root;
    g[1] = 80 * x2 / root;
  } else {
    g[0] = x1 < 0 ? 9 - 9 * std::pow(x1, 8) : 9;
    g[1] = 16 * detail::sgnbit(x2);
  }
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  if (elliptic(x)) {
    const double c = std::pow(9 * (x1 * x1) + 16 * (x2 * x2), -1.5);
    h[0] = 720 * (x2 * x2) * c;
    h[1] = -720 * x1 * x2 * c;
    h[2] = 720 * (x1 * x1) * c;
  } else if (x1 < 0) {
    h[0] = -72 * std::pow(x1, 7);
  }
}

}  // namespace kinkbench::nonsmooth::p10
