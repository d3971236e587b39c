// Problem 2: with a = 10 x1 / (x1 + 0.1) and s = 2 x2^2,
// f1 = (x1 + a + s) / 2, f2 = (a - x1 + s) / 2, f3 = (x1 - a + s) / 2.
// k outside 1..3: the value is not written, the gradient writes only its second
// component (common to all three), the Hessian is f1's (and f2's).
// No guard at x1 = -0.1: the pole gives infinities or NaN.
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p02 {

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 3;
  x[1] = 1;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  if (k < 1 || k > 3) return;
  const double x1 = x[0];
  const double x2 = x[1];
  const double a = (10 * x1) / (x1 + 0.1);
  const double s = 2 * (x2 * x2);
  if (k == 1) {
    *fk = 0.5 * ((x1 + a) + s);
  } else if (k == 2) {
    *fk = 0.5 * ((a - x1) + s);
  } else {
    *fk = 0.5 * ((x1 - a) + s);
  }
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  gk[1] = 2 * x[1];
  const double c = x[0] + 0.1;
  const double d = 1 / (c * c);
  if (k == 1) {
    gk[0] = 0.5 * (1 + d);
  } else if (k == 2) {
    gk[0] = 0.5 * (d - 1);
  } else if (k == 3) {
    gk[0] = 0.5 * (1 - d);
  }
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* /*data*/) {
  const double c = x[0] + 0.1;
  const double e = 1 / (c * c * c);
  hk[0] = k == 3 ? e : -e;
  hk[1] = 0;
  hk[2] = 2;
}

}  // namespace kinkbench::minimax::p02
