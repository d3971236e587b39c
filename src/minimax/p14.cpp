// Minimax problem 14: the rational function (x1 + x2 v)/(1 + v(x3 + v(x4 + v x5)))
// against e^v at v = 0.1(k - 1) - 1. It reads no data and is defined for every k.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p14 {
namespace {

// k - 1 is formed in double: exact for every 32-bit k, so k = INT_MIN cannot overflow.
double abscissa(int k) { return 0.1 * (static_cast<double>(k) - 1) - 1; }

double numerator(double v, const double* x) { return x[0] + x[1] * v; }
double denominator(double v, const double* x) { return 1 + v * (x[2] + v * (x[3] + v * x[4])); }

}  // namespace

void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 0;
  x[0] = 0.5;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  const double v = abscissa(k);
  *fk = numerator(v, x) * (1 / denominator(v, x)) - std::exp(v);
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const double v = abscissa(k);
  const double r = 1 / denominator(v, x);
  const double m = -v * numerator(v, x) * (r * r);
  gk[0] = r;
  gk[1] = v * r;
  gk[2] = m;
  gk[3] = m * v;
  gk[4] = m * (v * v);
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* /*data*/) {
  using detail::packed;
  const double v = abscissa(k);
  const double r = 1 / denominator(v, x);
  const double r2 = r * r;
  const double r3 = r2 * r;
  const double n2 = 2 * numerator(v, x);
  const double v2 = v * v;
  const double v3 = v2 * v;
  const double v4 = v2 * v2;
  const double v5 = v4 * v;
  const double v6 = v3 * v3;
  hk[packed(1, 1)] = 0;
  hk[packed(2, 1)] = 0;
  hk[packed(2, 2)] = 0;
  hk[packed(3, 1)] = -v * r2;
  hk[packed(3, 2)] = -v2 * r2;
  hk[packed(3, 3)] = n2 * v2 * r3;
  hk[packed(4, 1)] = -v2 * r2;
  hk[packed(4, 2)] = -v3 * r2;
  hk[packed(4, 3)] = n2 * v3 * r3;
  hk[packed(4, 4)] = n2 * v4 * r3;
  hk[packed(5, 1)] = -v3 * r2;
  hk[packed(5, 2)] = -v4 * r2;
  hk[packed(5, 3)] = n2 * v4 * r3;
  hk[packed(5, 4)] = n2 * v5 * r3;
  hk[packed(5, 5)] = n2 * v6 * r3;
}

}  // namespace kinkbench::minimax::p14
