// Problem 22: f_k = e^S, S a weighted sum of squares of all n components, x(2) shifted
// by +2 (k = 1), -2 (k = 2) or not at all (every other k). n < 1 gives S = 0, f = 1.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p22 {
namespace {

double weight(int i) { return i == 1 ? 1e-8 : (i == 4 ? 4.0 : 1.0); }

double shift(int k) { return k == 1 ? 2.0 : (k == 2 ? -2.0 : 0.0); }

// u(i): the component as it enters the sum.
double term_base(int i, int k, const double* x) { return i == 2 ? x[1] + shift(k) : x[i - 1]; }

// e^S with S accumulated for i = 1..n, each term (u(i))^2 * w(i).
double exp_sum(int n, int k, const double* x) {
  double s = 0;
  for (int i = 1; i <= n; ++i) {
    const double u = term_base(i, k, x);
    s = s + u * u * weight(i);
  }
  return std::exp(s);
}

}  // namespace

// Writes x(1..n).
void setup(int n, double* x, double* /*data*/) {
  x[0] = 100;
  for (int i = 1; i < n; ++i) x[i] = 0.1;
}

void value(int n, int k, const double* x, double* fk, const double* /*data*/) {
  *fk = exp_sum(n, k, x);
}

// Writes gk(1..n).
void gradient(int n, int k, const double* x, double* gk, const double* /*data*/) {
  const double f = exp_sum(n, k, x);
  for (int i = 1; i <= n; ++i) gk[i - 1] = 2 * weight(i) * term_base(i, k, x) * f;
}

// Writes all n(n+1)/2 entries: the Hessian is dense.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  const double f = exp_sum(n, k, x);
  for (int i = 1; i <= n; ++i) {
    const double wi = weight(i);
    const double ui = term_base(i, k, x);
    for (int j = 1; j < i; ++j) {
      hk[kinkbench::detail::packed(i, j)] = 4 * wi * ui * weight(j) * term_base(j, k, x) * f;
    }
    hk[kinkbench::detail::packed(i, i)] = (4 * (wi * wi) * (ui * ui) + 2 * wi) * f;
  }
}

}  // namespace kinkbench::minimax::p22
