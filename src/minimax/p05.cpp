// Problem 5: the four quadratics of quadratic_penalty.hpp in x1..x4.
// Value and gradient: k = 1, 3, 4 select that row, every other k row 2.
// Hessian: its own choice, row 1 for k <= 1, rows 2..4 for k = 2..4 and row 3 for
// k >= 5; it clears the whole triangle of the n passed, then writes the diagonal.
#include "core/rules.hpp"
#include "minimax/problems.hpp"
#include "minimax/quadratic_penalty.hpp"

namespace kinkbench::minimax::p05 {
namespace {

int value_row(int k) { return (k == 1 || k == 3 || k == 4) ? k : 2; }

int hessian_row(int k) { return k <= 1 ? 1 : (k >= 5 ? 3 : k); }

}  // namespace

// Shared with problem 6: x(1..n) = 0.
void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 0;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  *fk = quadratic_penalty::value(value_row(k), x);
}

// Each component is the base component plus ten times the penalty's component.
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  const double x3 = x[2];
  const double x4 = x[3];
  const double b1 = 2 * x1 - 5;
  const double b2 = 2 * x2 - 5;
  const double b3 = 4 * x3 - 21;
  const double b4 = 2 * x4 + 7;
  switch (value_row(k)) {
    case 1:
      gk[0] = b1;
      gk[1] = b2;
      gk[2] = b3;
      gk[3] = b4;
      break;
    case 3:
      gk[0] = b1 + 10 * (2 * x1 - 1);
      gk[1] = b2 + 10 * (4 * x2);
      gk[2] = b3 + 10 * (2 * x3);
      gk[3] = b4 + 10 * (4 * x4 - 1);
      break;
    case 4:
      gk[0] = b1 + 10 * (2 * x1 + 2);
      gk[1] = b2 + 10 * (2 * x2 - 1);
      gk[2] = b3 + 10 * (2 * x3);
      gk[3] = b4 + 10 * -1.0;
      break;
    default:
      gk[0] = b1 + 10 * (2 * x1 + 1);
      gk[1] = b2 + 10 * (2 * x2 - 1);
      gk[2] = b3 + 10 * (2 * x3 + 1);
      gk[3] = b4 + 10 * (2 * x4 - 1);
      break;
  }
}

void hessian(int n, int k, const double* /*x*/, double* hk, const double* /*data*/) {
  using detail::packed;
  detail::clear(hk, detail::packed_size(n));
  const quadratic_penalty::Coefficients& row = quadratic_penalty::kRows[hessian_row(k) - 1];
  for (int i = 1; i <= 4; ++i) hk[packed(i, i)] = 2 * row.quad[i - 1];
}

}  // namespace kinkbench::minimax::p05
