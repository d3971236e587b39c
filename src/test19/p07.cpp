// Problem 7: max(-x1 - x2, -x1 - x2 + (x1^2 + x2^2 - 1)).
#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p07 {
namespace {

struct Pieces {
  double f1, f2;
};

// f2 is grouped as written here in every routine: regrouping it as f1 + x1^2 + x2^2 - 1
// rounds differently and can flip the choice on the circle.
Pieces pieces(const double* x) {
  return {-x[0] - x[1], -x[0] - x[1] + (x[0] * x[0] + x[1] * x[1] - 1)};
}

// The quadratic piece only when strictly larger; ties and NaN give the linear one.
bool quadratic_active(const double* x) {
  const Pieces p = pieces(x);
  return p.f1 < p.f2;
}

void piece_gradient(bool quadratic, const double* x, double* g) {
  if (quadratic) {
    g[0] = 2 * x[0] - 1;
    g[1] = 2 * x[1] - 1;
  } else {
    g[0] = -1;
    g[1] = -1;
  }
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -0.5;
  x[1] = -0.5;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const Pieces p = pieces(x);
  *f = detail::replaces_max(p.f2, p.f1) ? p.f2 : p.f1;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  piece_gradient(quadratic_active(x), x, g);
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  if (quadratic_active(x)) {
    h[0] = 2;
    h[2] = 2;
  }
}

// One group: f1, f2.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  const Pieces p = pieces(x);
  out.phi[0] = p.f1;
  out.phi[1] = p.f2;
  piece_gradient(false, x, out.grad(0));
  piece_gradient(true, x, out.grad(1));
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("f", index + 1); }

}  // namespace kinkbench::nonsmooth::p07
