// Problem 8: -x1 + 20 max(0, x1^2 + x2^2 - 1), a linear function with an exact penalty of
// the unit disc.
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p08 {
namespace {

double circle(const double* x) { return x[0] * x[0] + x[1] * x[1] - 1; }

// t >= 0, the boundary included, selects the penalised branch; a NaN t does not.
bool penalised(double t) { return t >= 0; }

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 0.8;
  x[1] = 0.6;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const double t = circle(x);
  *f = penalised(t) ? -x[0] + 20 * t : -x[0];
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  if (penalised(circle(x))) {
    g[0] = 40 * x[0] - 1;
    g[1] = 40 * x[1];
  } else {
    g[0] = -1;
  }
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  if (penalised(circle(x))) {
    h[0] = 40;
    h[2] = 40;
  }
}

// -x1 + max(0, 20 t).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  *out.s = -x[0];
  out.ds[0] = -1;
  out.phi[1] = 20 * circle(x);
  out.grad(1)[0] = 40 * x[0];
  out.grad(1)[1] = 40 * x[1];
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return index == 0 ? "0" : "t"; }

}  // namespace kinkbench::nonsmooth::p08
