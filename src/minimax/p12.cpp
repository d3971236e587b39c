// Minimax problem 12: x1 e^(x3 t) + x2 e^(x4 t) - 1/(1 + t) at 21 points t_k.
// Data: data[k-1] = t_k, data[20+k] = y_k, k = 1..21.
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p12 {
namespace {

constexpr int kM = 21;

// Every routine reads t_k, so a k outside 1..m writes nothing.
bool valid(int k) { return k >= 1 && k <= kM; }

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[0] = 1.0;
  x[1] = 1.0;
  x[2] = -3.0;
  x[3] = -1.0;
  // The order fixes the bits: quotient, then the shift; sum, then its reciprocal.
  for (int k = 1; k <= kM; ++k) {
    const double t = static_cast<double>(k - 1) / 20.0 - 0.5;
    data[k - 1] = t;
    data[kM + k - 1] = 1.0 / (1.0 + t);
  }
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  *fk = x[0] * std::exp(x[2] * t) + x[1] * std::exp(x[3] * t) - data[kM + k - 1];
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  const double e3 = std::exp(t * x[2]);
  const double e4 = std::exp(t * x[3]);
  gk[0] = e3;
  gk[1] = e4;
  gk[2] = t * x[0] * e3;
  gk[3] = t * x[1] * e4;
}

// Writes hk(1..10).
void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  const double e3 = std::exp(t * x[2]);
  const double e4 = std::exp(t * x[3]);
  hk[0] = 0.0;
  hk[1] = 0.0;
  hk[2] = 0.0;
  hk[3] = t * e3;
  hk[4] = 0.0;
  hk[5] = x[0] * (t * t) * e3;
  hk[6] = 0.0;
  hk[7] = t * e4;
  hk[8] = 0.0;
  hk[9] = x[1] * (t * t) * e4;
}

}  // namespace kinkbench::minimax::p12
