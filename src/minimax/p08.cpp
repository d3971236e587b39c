// Minimax problem 8: y_k - x1 - k / (v x2 + w x3), v = 16 - k, w = min(k, 16 - k), fitted
// to 15 values. Data: data[k-1] = y_k, k = 1..15.
#include <algorithm>
#include <cstdint>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p08 {
namespace {

constexpr int kM = 15;
constexpr double kY[kM] = {0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39,
                           0.37, 0.58, 0.73, 0.96, 1.34, 2.1,  4.39};

// The integer weights of partial function k as doubles. Formed in 64 bits so that the
// derivatives, which take any k, never overflow 16 - k.
struct Weights {
  double k;
  double v;
  double w;
};

Weights weights(int k) {
  const std::int64_t v = 16 - static_cast<std::int64_t>(k);
  const std::int64_t w = std::min<std::int64_t>(k, v);
  return {static_cast<double>(k), static_cast<double>(v), static_cast<double>(w)};
}

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[0] = x[1] = x[2] = 1.0;
  std::copy(kY, kY + kM, data);
}

// Reads y_k, so a k outside 1..m writes nothing.
void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (k < 1 || k > kM) return;
  const Weights c = weights(k);
  *fk = data[k - 1] - x[0] - c.k / (c.v * x[1] + c.w * x[2]);
}

// Reads no data: defined for every k.
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const Weights c = weights(k);
  const double d = c.v * x[1] + c.w * x[2];
  const double d2 = d * d;
  gk[0] = -1.0;
  gk[1] = c.k * c.v / d2;
  gk[2] = c.k * c.w / d2;
}

// Clears all n(n+1)/2 positions (none for n <= 0), then writes hk(3), hk(5), hk(6).
// Reads no data: defined for every k.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  detail::clear(hk, detail::packed_size(n));
  const Weights c = weights(k);
  const double d = c.v * x[1] + c.w * x[2];
  const double d3 = d * d * d;
  const double m2k = -2.0 * c.k;
  hk[2] = m2k * (c.v * c.v) / d3;
  hk[4] = m2k * c.v * c.w / d3;  // left to right: the products round once k is large
  hk[5] = m2k * (c.w * c.w) / d3;
}

}  // namespace kinkbench::minimax::p08
