// Problem 1: f1 = x1^2 + x2^4, f2 = (2 - x1)^2 + (2 - x2)^2, f3 = 2 exp(x2 - x1).
// Value and gradient: every k other than 2 and 3 selects f1. The Hessian starts from
// f2's (2, 0, 2) and changes it only for k = 1 and 3, so for k outside 1..3 it is f2's,
// not the Hessian of the f1 the other routines deliver.
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p01 {

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 2;
  x[1] = 2;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  if (k == 2) {
    *fk = ((8 - 4 * (x1 + x2)) + x1 * x1) + x2 * x2;
  } else if (k == 3) {
    *fk = 2 * std::exp(x2 - x1);
  } else {
    const double s = x2 * x2;
    *fk = x1 * x1 + s * s;
  }
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  if (k == 2) {
    gk[0] = 2 * x1 - 4;
    gk[1] = 2 * x2 - 4;
  } else if (k == 3) {
    const double e = std::exp(x2 - x1);
    gk[0] = -2 * e;
    gk[1] = 2 * e;
  } else {
    gk[0] = 2 * x1;
    gk[1] = 4 * (x2 * x2 * x2);
  }
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* /*data*/) {
  hk[0] = 2;
  hk[1] = 0;
  hk[2] = 2;
  if (k == 1) {
    hk[2] = 12 * (x[1] * x[1]);
  } else if (k == 3) {
    const double e = std::exp(x[1] - x[0]);
    hk[0] = 2 * e;
    hk[1] = -2 * e;
    hk[2] = 2 * e;
  }
}

}  // namespace kinkbench::minimax::p01
