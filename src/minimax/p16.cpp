// Minimax problem 16: the damped oscillation x1 e^(-x2 t) cos(x3 t + x4) + x5 e^(-x6 t)
// fitted at t = 0.1(k - 1), k = 1..51. Data: empr06(k) = y_k, computed by the set-up.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p16 {
namespace {

constexpr int kM = 51;

// Only the value reads data, but every routine rejects the same k, so that a call
// outside 1..m writes nothing whichever routine it is.
bool in_range(int k) { return k >= 1 && k <= kM; }

double abscissa(int k) { return 0.1 * static_cast<double>(k - 1); }

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[0] = 2;
  x[1] = 2;
  x[2] = 7;
  x[3] = 0;
  x[4] = -2;
  x[5] = 1;
  data[0] = 0;
  for (int k = 2; k <= kM; ++k) {
    const double t = abscissa(k);
    data[k - 1] = 0.5 * std::exp(-t) - std::exp(-2 * t) + 0.5 * std::exp(-3 * t) +
                  1.5 * std::exp(-1.5 * t) * std::sin(7 * t) + std::exp(-2.5 * t) * std::sin(5 * t);
  }
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!in_range(k)) return;
  const double t = abscissa(k);
  *fk = x[0] * std::exp(-x[1] * t) * std::cos(x[2] * t + x[3]) + x[4] * std::exp(-x[5] * t) -
        data[k - 1];
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  if (!in_range(k)) return;
  const double t = abscissa(k);
  const double e2 = std::exp(-x[1] * t);
  const double phi = x[2] * t + x[3];
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  const double e6 = std::exp(-x[5] * t);
  gk[0] = c * e2;
  gk[1] = -t * x[0] * c * e2;
  gk[2] = -t * x[0] * s * e2;
  gk[3] = -x[0] * s * e2;
  gk[4] = e6;
  gk[5] = -t * x[4] * e6;
}

// Clears the whole triangle, rows beyond 6 included, before writing rows 1..6.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  using detail::packed;
  if (!in_range(k)) return;
  const double t = abscissa(k);
  const double t2 = t * t;
  const double e2 = std::exp(-x[1] * t);
  const double phi = x[2] * t + x[3];
  const double c = std::cos(phi);
  const double s = std::sin(phi);
  const double e6 = std::exp(-x[5] * t);
  detail::clear(hk, detail::packed_size(n));
  hk[packed(2, 1)] = -t * c * e2;
  hk[packed(3, 1)] = -t * s * e2;
  hk[packed(4, 1)] = -s * e2;
  hk[packed(2, 2)] = t2 * x[0] * c * e2;
  hk[packed(3, 2)] = t2 * x[0] * s * e2;
  hk[packed(4, 2)] = t * x[0] * s * e2;
  hk[packed(3, 3)] = -t2 * x[0] * c * e2;
  hk[packed(4, 3)] = -t * x[0] * c * e2;
  hk[packed(4, 4)] = -x[0] * c * e2;
  hk[packed(6, 5)] = -t * e6;
  hk[packed(6, 6)] = t2 * x[4] * e6;
}

}  // namespace kinkbench::minimax::p16
