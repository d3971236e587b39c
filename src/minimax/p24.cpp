// Problem 24: f_1 = x(1), f_2 = x(2) - x(1)^2 - 1, and for every other k the residual
// f_k = b - a^2 - 1 of a polynomial at t = (k - 2)/29, with
//   a = x(1) + sum_{j=2..n} x(j) t^(j-1),  b = sum_{j=2..n} ((j-1) x(j)) t^(j-2).
// Each t^p is formed by ipow on its own (no running product), in value, gradient and
// Hessian alike. k = 1 and k = 2 take their direct forms in all three routines, except
// that k = 2 with n = 1 takes the general form at t = 0, -x(1)^2 - 1, since there is no
// x(2) to read. Every form reads x(1), so n < 1 writes nothing.
#include <cstdint>

#include "core/rules.hpp"
#include "minimax/integer_power.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p24 {
namespace {

using kinkbench::minimax::detail::ipow;

// k - 2 in 64 bits, so that no k a caller passes overflows.
double node(int k) { return static_cast<double>(std::int64_t{k} - 2) / 29; }

// a, accumulated left to right from x(1).
double poly(int n, double t, const double* x) {
  double a = x[0];
  for (int j = 2; j <= n; ++j) a = a + x[j - 1] * ipow(t, j - 1);
  return a;
}

}  // namespace

// Writes x(1..n).
void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 0;
}

void value(int n, int k, const double* x, double* fk, const double* /*data*/) {
  if (n < 1) return;
  if (k == 1) {
    *fk = x[0];
  } else if (k == 2 && n >= 2) {
    *fk = x[1] - x[0] * x[0] - 1;
  } else {
    const double t = node(k);
    double a = x[0];
    double b = 0;
    for (int j = 2; j <= n; ++j) {
      a = a + x[j - 1] * ipow(t, j - 1);
      b = b + (static_cast<double>(j - 1) * x[j - 1]) * ipow(t, j - 2);
    }
    *fk = b - a * a - 1;
  }
}

// Writes gk(1..n).
void gradient(int n, int k, const double* x, double* gk, const double* /*data*/) {
  if (n < 1) return;
  if (k == 1 || k == 2) {
    gk[0] = k == 1 ? 1.0 : -2 * x[0];
    for (int i = 2; i <= n; ++i) gk[i - 1] = 0;
    if (k == 2 && n >= 2) gk[1] = 1;
    return;
  }
  const double t = node(k);
  const double a = poly(n, t, x);
  gk[0] = -2 * a;
  for (int j = 2; j <= n; ++j) {
    gk[j - 1] = static_cast<double>(j - 1) * ipow(t, j - 2) - 2 * a * ipow(t, j - 1);
  }
}

// Writes all n(n+1)/2 entries.
void hessian(int n, int k, const double* /*x*/, double* hk, const double* /*data*/) {
  if (k == 1 || k == 2) {
    kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
    if (k == 2 && n >= 1) hk[0] = -2;
    return;
  }
  const double t = node(k);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= i; ++j) hk[kinkbench::detail::packed(i, j)] = -2 * ipow(t, i + j - 2);
  }
}

}  // namespace kinkbench::minimax::p24
