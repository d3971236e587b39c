// Minimax problem 7: a damped sine x3/x2 * exp(-x1 t) * sin(x2 t) fitted to 21 values.
// Data: data[j-1] = t_j, data[20+j] = y_j, j = 1..21.
#include <cmath>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p07 {
namespace {

constexpr int kM = 21;
// The fractions as factors, each the nearest double.
constexpr double kOver52 = 1.0 / 52.0;
constexpr double kOver65 = 1.0 / 65.0;

// Every routine reads t_k, so a k outside 1..m writes nothing rather than reading
// outside the data area.
bool valid(int k) { return k >= 1 && k <= kM; }

// The factors both derivative routines build from t = t_k.
struct Factors {
  double t, s, c, q, r;  // sin and cos of x2 t, q = exp(-x1 t) / x2, r = q x3
};

Factors factors(int k, const double* x, const double* data) {
  const double t = data[k - 1];
  const double e = std::exp(-x[0] * t);
  const double q = e / x[1];
  return {t, std::sin(x[1] * t), std::cos(x[1] * t), q, q * x[2]};
}

}  // namespace

void setup(int n, double* x, double* data) {
  for (int i = 0; i < n; ++i) x[i] = 1.0;
  for (int j = 1; j <= kM; ++j) {
    const double t = static_cast<double>((j - 1) * 10) / 20.0;
    double e1 = 1.0;
    double e2 = 1.0;
    double e5 = 1.0;
    double s = 0.0;
    double c = 1.0;
    // At t = 0 the functions are not called: their values are taken as exact.
    if (j > 1) {
      const double t2 = t + t;
      e1 = std::exp(-t);
      e2 = std::exp(-t2);
      e5 = std::exp(-(5.0 * t));
      // One joint sine-and-cosine evaluation of 2t: sin and cos of the same argument
      // give exactly its bits (and compile to it).
      s = std::sin(t2);
      c = std::cos(t2);
    }
    data[j - 1] = t;
    data[kM + j - 1] = 0.15 * e1 + kOver52 * e5 - kOver65 * e2 * (3.0 * s + 11.0 * c);
  }
}

// Order fixed: the quotient first, then the exponential, then the sine.
void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!valid(k)) return;
  const double t = data[k - 1];
  const double y = data[kM + k - 1];
  *fk = x[2] / x[1] * std::exp(-x[0] * t) * std::sin(x[1] * t) - y;
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!valid(k)) return;
  const auto [t, s, c, q, r] = factors(k, x, data);
  gk[0] = -t * r * s;
  gk[1] = r * (t * c - s / x[1]);
  gk[2] = q * s;
}

// Writes hk(1..6) only.
void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  if (!valid(k)) return;
  const auto [t, s, c, q, r] = factors(k, x, data);
  const double d2 = t * c - s / x[1];
  hk[0] = r * s * (t * t);
  hk[1] = -t * r * d2;
  hk[2] = -r * (s * (t * t) + 2.0 * t * c / x[1] - 2.0 * s / (x[1] * x[1]));
  hk[3] = -t * q * s;
  hk[4] = q * d2;
  hk[5] = 0.0;
}

}  // namespace kinkbench::minimax::p07
