// Problem 6: the four quadratics of quadratic_penalty.hpp in y = (a, b, x3, x4) with
// a = x1 - (x4 + 1)^4 and b = x2 - a^4. k = 2..4 select that row, every other k row 1,
// in all three routines. The Hessian writes all of hk(1..10) and nothing beyond.
#include "minimax/problems.hpp"
#include "minimax/quadratic_penalty.hpp"

namespace kinkbench::minimax::p06 {
namespace {

int row_of(int k) { return (k >= 2 && k <= 4) ? k : 1; }

// a is formed first and b from it; fourth powers are squares of squares.
struct Transformed {
  double p;  // x4 + 1
  double a;
  double b;
};

Transformed transform(const double* x) {
  Transformed t{};
  t.p = x[3] + 1;
  const double p2 = t.p * t.p;
  t.a = x[0] - p2 * p2;
  const double a2 = t.a * t.a;
  t.b = x[1] - a2 * a2;
  return t;
}

}  // namespace

void setup(int n, double* x, double* data) { p05::setup(n, x, data); }

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  const Transformed t = transform(x);
  const double y[4] = {t.a, t.b, x[2], x[3]};
  *fk = quadratic_penalty::value(row_of(k), y);
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  const quadratic_penalty::Coefficients& c = quadratic_penalty::kRows[row_of(k) - 1];
  const Transformed t = transform(x);
  const double alpha = -4 * (t.p * t.p * t.p);  // da/dx4
  const double beta = -4 * (t.a * t.a * t.a);   // db/da
  const double fa = 2 * c.quad[0] * t.a + c.lin[0];
  const double fb = 2 * c.quad[1] * t.b + c.lin[1];
  gk[0] = fa + beta * fb;
  gk[1] = fb;
  gk[2] = 2 * c.quad[2] * x[2] + c.lin[2];
  gk[3] = (2 * c.quad[3] * x[3] + c.lin[3]) + alpha * gk[0];
}

// H = 2 c_a A A' + 2 c_b B B' + F_a D2a + F_b D2b + diag(0, 0, 2 c_3, 2 c_4) with
// A = grad a = (1, 0, 0, alpha), B = grad b = (beta, 1, 0, alpha beta), D2a non-zero
// only at (4, 4) and D2b = -12 a^2 A A' + beta D2a. Terms that vanish identically are
// left out, so row and column 3 off the diagonal are exact zeros even where a, b or
// their derivatives overflow. Each entry keeps the formula's order for its (i, j), row
// first, with the second derivative of b formed before F_b multiplies it.
void hessian(int /*n*/, int k, const double* x, double* hk, const double* /*data*/) {
  const quadratic_penalty::Coefficients& c = quadratic_penalty::kRows[row_of(k) - 1];
  const Transformed t = transform(x);
  const double alpha = -4 * (t.p * t.p * t.p);
  const double beta = -4 * (t.a * t.a * t.a);
  const double a44 = -12 * (t.p * t.p);   // d2a/dx4^2
  const double b_aa = -12 * (t.a * t.a);  // d2b/da^2
  const double fa = 2 * c.quad[0] * t.a + c.lin[0];
  const double fb = 2 * c.quad[1] * t.b + c.lin[1];
  const double ca2 = 2 * c.quad[0];
  const double cb2 = 2 * c.quad[1];
  const double ab = alpha * beta;
  hk[0] = (ca2 + cb2 * beta * beta) + fb * b_aa;                  // (1,1)
  hk[1] = cb2 * beta;                                             // (2,1)
  hk[2] = cb2;                                                    // (2,2)
  hk[3] = 0;                                                      // (3,1)
  hk[4] = 0;                                                      // (3,2)
  hk[5] = 2 * c.quad[2];                                          // (3,3)
  hk[6] = (ca2 * alpha + cb2 * ab * beta) + fb * (b_aa * alpha);  // (4,1)
  hk[7] = cb2 * ab;                                               // (4,2)
  hk[8] = 0;                                                      // (4,3)
  hk[9] = (((ca2 * alpha * alpha + cb2 * ab * ab) + fa * a44) +
           fb * (b_aa * alpha * alpha + beta * a44)) +
          2 * c.quad[3];  // (4,4)
}

}  // namespace kinkbench::minimax::p06
