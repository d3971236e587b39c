// Minimax problem 10: (x1 + t x2 - e^t)^2 + (x3 + x4 sin t - cos t)^2 with t = 0.2 k.
// No data: k is used only as a number, so every routine is defined for every k.
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p10 {
namespace {

struct Point {
  double t;
  double s;
  double c;
};

Point point(int k) {
  const double t = 0.2 * static_cast<double>(k);
  // sin and cos of the same argument: the bits of one joint evaluation.
  return {t, std::sin(t), std::cos(t)};
}

struct Residuals {
  double r1;
  double r2;
  double s;
  double t;
};

Residuals residuals(int k, const double* x) {
  const Point p = point(k);
  return {x[0] + p.t * x[1] - std::exp(p.t), x[2] + x[3] * p.s - p.c, p.s, p.t};
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 25.0;
  x[1] = 5.0;
  x[2] = -5.0;
  x[3] = -1.0;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  const Residuals r = residuals(k, x);
  *fk = r.r1 * r.r1 + r.r2 * r.r2;
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const Residuals r = residuals(k, x);
  gk[0] = 2.0 * r.r1;
  gk[1] = 2.0 * r.r1 * r.t;
  gk[2] = 2.0 * r.r2;
  gk[3] = 2.0 * r.r2 * r.s;
}

// Writes hk(1..10); independent of x.
void hessian(int /*n*/, int k, const double* /*x*/, double* hk, const double* /*data*/) {
  const Point p = point(k);
  hk[0] = 2.0;
  hk[1] = 2.0 * p.t;
  hk[2] = 2.0 * p.t * p.t;
  hk[3] = 0.0;
  hk[4] = 0.0;
  hk[5] = 2.0;
  hk[6] = 0.0;
  hk[7] = 0.0;
  hk[8] = 2.0 * p.s;
  hk[9] = 2.0 * p.s * p.s;
}

}  // namespace kinkbench::minimax::p10
