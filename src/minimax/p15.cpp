// Minimax problem 15: a rational fit (x1 + t(x2 + t x3))/(1 + t(x4 + t x5)) of the curve
// y(t) = sqrt((8t - 1)^2 + 1) atan(8t)/(8t) at 30 points in [-1, 1].
// Data: empr06(k) = t_k, empr06(30 + k) = y_k, computed by the set-up.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p15 {
namespace {

constexpr int kM = 30;

// The curve at t = -1, stored rather than computed.
constexpr double kY1 = 1.6372604179034311;

bool in_range(int k) { return k >= 1 && k <= kM; }

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[0] = 0;
  x[1] = -1;
  x[2] = 10;
  x[3] = 1;
  x[4] = 10;
  data[0] = -1;
  for (int i = 1; i < kM; ++i) data[i] = static_cast<double>(2 * i) / 29 - 1;
  data[kM] = kY1;
  for (int k = 1; k < kM; ++k) {
    const double u = 8 * data[k];
    data[kM + k] = std::sqrt((u - 1) * (u - 1) + 1) * std::atan(u) / u;
  }
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!in_range(k)) return;
  const double t = data[k - 1];
  *fk = (x[0] + t * (x[1] + t * x[2])) / (1 + t * (x[3] + t * x[4])) - data[kM + k - 1];
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!in_range(k)) return;
  const double t = data[k - 1];
  const double num = x[0] + t * (x[1] + t * x[2]);
  const double r = 1 / (1 + t * (x[3] + t * x[4]));
  const double m = r * r * num * t;
  gk[0] = r;
  gk[1] = t * r;
  gk[2] = t * t * r;
  gk[3] = -m;
  gk[4] = -t * m;
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  using detail::packed;
  if (!in_range(k)) return;
  const double t = data[k - 1];
  const double n2 = 2 * (x[0] + t * (x[1] + t * x[2]));
  const double r = 1 / (1 + t * (x[3] + t * x[4]));
  const double r2 = r * r;
  const double r3 = r2 * r;
  const double t2 = t * t;
  const double t3 = t2 * t;
  const double t4 = t2 * t2;
  // Linear in x1..x3: the leading 3x3 block is zero.
  detail::clear(hk, detail::packed_size(3));
  hk[packed(4, 1)] = -t * r2;
  hk[packed(4, 2)] = -t2 * r2;
  hk[packed(4, 3)] = -t3 * r2;
  hk[packed(4, 4)] = n2 * t2 * r3;
  hk[packed(5, 1)] = -t2 * r2;
  hk[packed(5, 2)] = -t3 * r2;
  hk[packed(5, 3)] = -t4 * r2;
  hk[packed(5, 4)] = n2 * t3 * r3;
  hk[packed(5, 5)] = n2 * t4 * r3;
}

}  // namespace kinkbench::minimax::p15
