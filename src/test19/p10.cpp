// Problem 10: piecewise on three regions, 5 sqrt(9 x1^2 + 16 x2^2) where x1 > |x2|,
// 9 x1 + 16 |x2| where 0 < x1 <= |x2|, and that minus x1^9 where x1 <= 0.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
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

// Not a maximum: f is the formula of the region x lies in (regions 2 and 3 split by the
// sign of x2, the |x2| they hold). Each piece's value is f less how far x is outside
// the piece's region, so exactly the pieces whose closed region holds x attain the
// group's maximum f, and eps-activity reads "within eps of the region".
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 5;
  return 1;
}

namespace {

double outside(double a, double b) { return a > b ? a : b; }

}  // namespace

void decompose(int n, const double* x, const double* data, const PieceOut& out) {
  const double x1 = x[0];
  const double x2 = x[1];
  double f = 0;
  value(n, x, &f, data);
  const double ax2 = std::fabs(x2);
  const double region1 = outside(0, ax2 - x1);
  const double region2 = outside(outside(0, -x1), x1 - ax2);
  const double region3 = outside(0, x1);
  const double violation[5] = {region1, outside(region2, -x2), outside(region2, x2),
                               outside(region3, -x2), outside(region3, x2)};
  for (int p = 0; p < 5; ++p) out.phi[p] = violation[p] == 0 ? f : f - violation[p];
  const double root = std::sqrt(9 * (x1 * x1) + 16 * (x2 * x2));
  out.grad(0)[0] = 45 * x1 / root;
  out.grad(0)[1] = 80 * x2 / root;
  const double g3 = 9 - 9 * std::pow(x1, 8);
  for (int p = 1; p < 5; ++p) {
    out.grad(p)[0] = p < 3 ? 9 : g3;
    out.grad(p)[1] = p % 2 == 1 ? 16 : -16;
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  static const char* const kNames[5] = {"r1", "+r2", "-r2", "+r3", "-r3"};
  return kNames[index];
}

}  // namespace kinkbench::nonsmooth::p10
