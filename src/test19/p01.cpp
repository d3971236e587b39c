// Problem 1 (also every problem number outside 2..25): Rosenbrock's function.
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p01 {

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -1.2;
  x[1] = 1;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const double a = x[1] - x[0] * x[0];
  const double b = 1 - x[0];
  *f = 100 * (a * a) + b * b;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double a = x[1] - x[0] * x[0];
  g[0] = 2 * x[0] * (1 - 200 * a) - 2;
  g[1] = 200 * a;
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  h[0] = 1200 * (x[0] * x[0]) - 400 * x[1] + 2;
  h[1] = -400 * x[0];
  h[2] = 200;
}

// Smooth: no groups; s is the objective.
int decompose_groups(int /*n*/, int* /*sizes*/) { return 0; }

void decompose(int n, const double* x, const double* data, const PieceOut& out) {
  value(n, x, out.s, data);
  gradient(n, x, out.ds, data);
}

std::string piece_name(int /*n*/, int /*group*/, int /*index*/) { return {}; }

}  // namespace kinkbench::nonsmooth::p01
