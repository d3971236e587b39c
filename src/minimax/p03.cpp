// Problem 3: with q = x1^2 + x2^2 and r = sqrt(q),
// f1 = (x1 - r cos r)^2 + 0.005 q, f2 = (x2 - r sin r)^2 + 0.005 q.
// k outside 1..2: no routine writes anything. At x = 0 the derivatives divide by r = 0
// and give NaN or infinities, unguarded.
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p03 {
namespace {

struct Polar {
  double q;  // squared radius; the 0.005 q term uses it, never r * r
  double r;
  double sin_r;
  double cos_r;
};

// Sine and cosine of r as one combined evaluation delivers them: std::sin and std::cos
// of the same argument round identically to it, so every routine sees the same pair.
Polar polar(const double* x) {
  Polar p{};
  p.q = x[0] * x[0] + x[1] * x[1];
  p.r = std::sqrt(p.q);
  p.sin_r = std::sin(p.r);
  p.cos_r = std::cos(p.r);
  return p;
}

// The residual s of f_k = s^2 + 0.005 q, and w, v with ds/dx(i) = [i = k] + x(i) w and
// d2s/dx(i)dx(j) = x(i) x(j) v + w [i = j].
struct Residual {
  double s;
  double w;
  double v;
};

Residual residual(int k, const double* x, const Polar& p) {
  const double r = p.r;
  const double r2 = r * r;
  Residual res{};
  if (k == 1) {
    res.s = x[0] - r * p.cos_r;
    res.w = p.sin_r - p.cos_r / r;
    res.v = (p.cos_r * (1 / r + r) + p.sin_r) / r2;
  } else {
    res.s = x[1] - r * p.sin_r;
    res.w = -(p.sin_r / r + p.cos_r);
    res.v = (p.sin_r * (1 / r + r) - p.cos_r) / r2;
  }
  return res;
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 1.41831;
  x[1] = -4.79462;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  if (k != 1 && k != 2) return;
  const Polar p = polar(x);
  const double s = k == 1 ? x[0] - p.r * p.cos_r : x[1] - p.r * p.sin_r;
  *fk = s * s + 0.005 * p.q;
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  if (k != 1 && k != 2) return;
  const Residual res = residual(k, x, polar(x));
  const double s = res.s;
  const double w = res.w;
  if (k == 1) {
    gk[0] = 2 * s * (1 + x[0] * w) + 0.01 * x[0];
    gk[1] = 2 * s * x[1] * w + 0.01 * x[1];
  } else {
    gk[0] = 2 * s * x[0] * w + 0.01 * x[0];
    gk[1] = 2 * s * (1 + x[1] * w) + 0.01 * x[1];
  }
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* /*data*/) {
  if (k != 1 && k != 2) return;
  const Residual res = residual(k, x, polar(x));
  const double s = res.s;
  const double w = res.w;
  const double v = res.v;
  const double x1 = x[0];
  const double x2 = x[1];
  if (k == 1) {
    const double d = 1 + x1 * w;
    const double x2w = x2 * w;
    hk[0] = 2 * (d * d + ((x1 * x1) * v + w) * s) + 0.01;
    hk[1] = 2 * x2 * (w * d + s * v * x1);
    hk[2] = 2 * (x2w * x2w + ((x2 * x2) * v + w) * s) + 0.01;
  } else {
    const double d = 1 + x2 * w;
    const double x1w = x1 * w;
    hk[0] = 2 * (x1w * x1w + ((x1 * x1) * v + w) * s) + 0.01;
    hk[1] = 2 * x1 * (w * d + s * v * x2);
    hk[2] = 2 * (d * d + ((x2 * x2) * v + w) * s) + 0.01;
  }
}

}  // namespace kinkbench::minimax::p03
