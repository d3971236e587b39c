// Problem 23: f_k = sum over i = 1..n of (k + i - 1) exp((x(i) - sin(k + 2i - 3))^2),
// defined for every k; n < 1 gives 0. The integer arguments are formed in 64 bits, so
// that no k a caller passes overflows before the conversion to double.
#include <cmath>
#include <cstdint>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p23 {
namespace {

// The ingredients of term i: weight c(i), offset d = x(i) - s(i), and E(i) = exp(d^2).
struct Term {
  double c;
  double d;
  double e;
};

Term term(int i, int k, const double* x) {
  const std::int64_t kk = k;
  const double s = std::sin(static_cast<double>(kk + 2 * std::int64_t{i} - 3));
  const double c = static_cast<double>(kk + i - 1);
  const double d = x[i - 1] - s;
  return {c, d, std::exp(d * d)};
}

}  // namespace

// Writes x(1..n).
void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 1;
}

void value(int n, int k, const double* x, double* fk, const double* /*data*/) {
  double f = 0;
  for (int i = 1; i <= n; ++i) {
    const Term t = term(i, k, x);
    f = f + t.c * t.e;
  }
  *fk = f;
}

// Writes gk(1..n).
void gradient(int n, int k, const double* x, double* gk, const double* /*data*/) {
  for (int i = 1; i <= n; ++i) {
    const Term t = term(i, k, x);
    gk[i - 1] = 2 * t.c * t.d * t.e;
  }
}

// Clears all n(n+1)/2 entries, then writes the diagonal.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
  for (int i = 1; i <= n; ++i) {
    const Term t = term(i, k, x);
    hk[kinkbench::detail::packed(i, i)] = t.c * (2 + 4 * (t.d * t.d)) * t.e;
  }
}

}  // namespace kinkbench::minimax::p23
