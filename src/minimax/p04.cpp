// Problem 4: six polynomials of x1..x3,
// f1 = x1^2 + x2^2 + x3^2 - 1, f2 = x1^2 + x2^2 + (x3 - 2)^2, f3 = x1 + x2 + x3 - 1,
// f4 = x1 + x2 - x3 + 1, f5 = 2 (x1^3 + 3 x2^2 + (5 x3 - x1 + 1)^2), f6 = x1^2 - 9 x3.
// Every k other than 2..6 selects f1 in all three routines. The Hessian clears the
// whole triangle of the n passed before writing its non-zero entries.
#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p04 {
namespace {

// The partial function k stands for: 2..6 as given, anything else f1.
int piece(int k) { return (k >= 2 && k <= 6) ? k : 1; }

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 1;
  x[1] = 1;
  x[2] = 1;
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  const double x3 = x[2];
  switch (piece(k)) {
    case 2: {
      const double t = x3 - 2;
      *fk = (x1 * x1 + x2 * x2) + t * t;
      break;
    }
    case 3:
      *fk = ((x1 + x2) + x3) - 1;
      break;
    case 4:
      *fk = ((x1 + x2) - x3) + 1;
      break;
    case 5: {
      const double c = (5 * x3 - x1) + 1;
      *fk = 2 * ((x1 * x1 * x1 + 3 * (x2 * x2)) + c * c);
      break;
    }
    case 6:
      *fk = x1 * x1 - 9 * x3;
      break;
    default:
      *fk = ((x1 * x1 + x2 * x2) + x3 * x3) - 1;
      break;
  }
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const double x1 = x[0];
  const double x2 = x[1];
  const double x3 = x[2];
  switch (piece(k)) {
    case 2:
      gk[0] = 2 * x1;
      gk[1] = 2 * x2;
      gk[2] = 2 * (x3 - 2);
      break;
    case 3:
      gk[0] = 1;
      gk[1] = 1;
      gk[2] = 1;
      break;
    case 4:
      gk[0] = 1;
      gk[1] = 1;
      gk[2] = -1;
      break;
    case 5: {
      const double c = (5 * x3 - x1) + 1;
      gk[0] = 6 * (x1 * x1) - 4 * c;
      gk[1] = 12 * x2;
      gk[2] = 20 * c;
      break;
    }
    case 6:
      gk[0] = 2 * x1;
      gk[1] = 0;
      gk[2] = -9;
      break;
    default:
      gk[0] = 2 * x1;
      gk[1] = 2 * x2;
      gk[2] = 2 * x3;
      break;
  }
}

void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  using detail::packed;
  detail::clear(hk, detail::packed_size(n));
  switch (piece(k)) {
    case 3:
    case 4:
      break;  // linear: the cleared triangle is the Hessian
    case 5:
      hk[packed(1, 1)] = 12 * x[0] + 4;
      hk[packed(2, 2)] = 12;
      hk[packed(3, 1)] = -20;
      hk[packed(3, 3)] = 100;
      break;
    case 6:
      hk[packed(1, 1)] = 2;
      break;
    default:  // f1 and f2
      hk[packed(1, 1)] = 2;
      hk[packed(2, 2)] = 2;
      hk[packed(3, 3)] = 2;
      break;
  }
}

}  // namespace kinkbench::minimax::p04
