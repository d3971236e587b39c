// Nonsmooth problem 14: the product of 5 variables plus 10 times three absolute values.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p14 {
namespace {

constexpr int kN = 5;

// The arguments of the three absolute values.
struct Kinks {
  double cubic;     // x1³ + x2³ + 1
  double bilinear;  // x2·x3 - 5·x4·x5
  double sphere;    // x1² + ... + x5² - 10
};

Kinks kinks(const double* x) {
  const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3], x5 = x[4];
  return {x1 * x1 * x1 + x2 * x2 * x2 + 1, x2 * x3 - 5 * x4 * x5,
          x1 * x1 + x2 * x2 + x3 * x3 + x4 * x4 + x5 * x5 - 10};
}

struct Signs {
  double s1;  // of the sphere term
  double s2;  // of the bilinear term
  double s3;  // of the cubic term
};

// The one piece choice of gradient and Hessian: an argument of exactly 0, -0 or NaN
// counts as positive.
Signs signs(const double* x) {
  const Kinks k = kinks(x);
  return {detail::sgnlt(k.sphere), detail::sgnlt(k.bilinear), detail::sgnlt(k.cubic)};
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -2;
  x[1] = 1.5;
  x[2] = 2;
  x[3] = -1;
  x[4] = -1;
}

// Below the problem's dimension x holds fewer components than the formulas read, so the
// evaluation routines write nothing (the outputs stay cleared).
void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const Kinks k = kinks(x);
  const double product = x[0] * x[1] * x[2] * x[3] * x[4];
  *f = product + 10 * (std::fabs(k.cubic) + std::fabs(k.bilinear) + std::fabs(k.sphere));
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3], x5 = x[4];
  const Signs s = signs(x);
  g[0] = x2 * x3 * x4 * x5 + 20 * s.s1 * x1 + 30 * s.s3 * (x1 * x1);
  g[1] = x1 * x3 * x4 * x5 + 20 * s.s1 * x2 + 10 * s.s2 * x3 + 30 * s.s3 * (x2 * x2);
  g[2] = x1 * x2 * x4 * x5 + 20 * s.s1 * x3 + 10 * s.s2 * x2;
  g[3] = x1 * x2 * x3 * x5 + 20 * s.s1 * x4 - 50 * s.s2 * x5;
  g[4] = x1 * x2 * x3 * x4 + 20 * s.s1 * x5 - 50 * s.s2 * x4;
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const Signs s = signs(x);
  // Off the diagonal: the product of the three variables other than x(i) and x(j), in
  // increasing index order.
  for (int i = 2; i <= kN; ++i) {
    for (int j = 1; j < i; ++j) {
      double product = 1;
      bool first = true;
      for (int l = 1; l <= kN; ++l) {
        if (l == i || l == j) continue;
        product = first ? x[l - 1] : product * x[l - 1];
        first = false;
      }
      h[detail::packed(i, j)] = product;
    }
  }
  h[detail::packed(3, 2)] += 10 * s.s2;
  h[detail::packed(5, 4)] -= 50 * s.s2;
  h[detail::packed(1, 1)] = 20 * s.s1 + 60 * s.s3 * x[0];
  h[detail::packed(2, 2)] = 20 * s.s1 + 60 * s.s3 * x[1];
  for (int i = 3; i <= kN; ++i) h[detail::packed(i, i)] = 20 * s.s1;
}

// The product plus three groups max(10 t, -10 t), t1 = x1^3 + x2^3 + 1,
// t2 = x2 x3 - 5 x4 x5, t3 = x1^2 + ... + x5^2 - 10, in the formula's order.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = sizes[1] = sizes[2] = 2;
  return 3;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3], x5 = x[4];
  const Kinks k = kinks(x);
  *out.s = x1 * x2 * x3 * x4 * x5;
  out.ds[0] = x2 * x3 * x4 * x5;
  out.ds[1] = x1 * x3 * x4 * x5;
  out.ds[2] = x1 * x2 * x4 * x5;
  out.ds[3] = x1 * x2 * x3 * x5;
  out.ds[4] = x1 * x2 * x3 * x4;
  const double t[3] = {k.cubic, k.bilinear, k.sphere};
  const double grads[3][kN] = {{30 * (x1 * x1), 30 * (x2 * x2), 0, 0, 0},
                               {0, 10 * x3, 10 * x2, -50 * x5, -50 * x4},
                               {20 * x1, 20 * x2, 20 * x3, 20 * x4, 20 * x5}};
  for (int g = 0; g < 3; ++g) {
    out.phi[2 * g] = 10 * t[g];
    out.phi[2 * g + 1] = -(10 * t[g]);
    for (int i = 0; i < kN; ++i) {
      out.grad(2 * g)[i] = grads[g][i];
      out.grad(2 * g + 1)[i] = -grads[g][i];
    }
  }
}

std::string piece_name(int /*n*/, int group, int index) {
  return signed_name(index == 0, "t", group);
}

}  // namespace kinkbench::nonsmooth::p14
