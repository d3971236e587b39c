// Minimax problem 11: x4 - p^2 - sqrt(t), p = x1 t^2 + x2 t + x3, at 21 points t_k.
// Data: data[k-1] = t_k, data[20+k] = sqrt(t_k), k = 1..21.
#include <algorithm>
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p11 {
namespace {

constexpr int kM = 21;
// 0.25 to 1 in steps of 3/80, each the nearest double of its decimal.
constexpr double kT[kM] = {0.25,   0.2875, 0.325,  0.3625, 0.4,    0.4375, 0.475,
                           0.5125, 0.55,   0.5875, 0.625,  0.6625, 0.7,    0.7375,
                           0.775,  0.8125, 0.85,   0.8875, 0.925,  0.9625, 1.0};

// Every routine reads t_k, so a k outside 1..m writes nothing.
bool valid(int k) { return k >= 1 && k <= kM; }

// Horner's rule; the value and the gradient share it.
double quadratic(double t, const double* x) { return (x[0] * t + x[1]) * t + x[2]; }

}  // namespace

void setup(int n, double* x, double* data) {
  for (int i = 0; i < n; ++i) x[i] = 1.0;
  std::copy(kT, kT + kM, data);
  // Square roots of the stored t_k, not of the decimals.
  for (int k = 0; k < kM; ++k) data[kM + k] = std::sqrt(data[k]);
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!valid(k)) return;
  const double p = quadratic(data[k - 1], x);
  *fk = x[3] - p * p - data[kM + k - 1];
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  const double g = -2.0 * quadratic(t, x);
  gk[0] = t * t * g;
  gk[1] = t * g;
  gk[2] = g;
  gk[3] = 1.0;
}

// Writes hk(1..10): -2 times the outer product of (t^2, t, 1, 0).
void hessian(int /*n*/, int k, const double* /*x*/, double* hk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  const double a = -2.0 * (t * t);
  hk[0] = a * t * t;
  hk[1] = a * t;
  hk[2] = a;
  hk[3] = a;
  hk[4] = -2.0 * t;
  hk[5] = -2.0;
  hk[6] = 0.0;
  hk[7] = 0.0;
  hk[8] = 0.0;
  hk[9] = 0.0;
}

}  // namespace kinkbench::minimax::p11
