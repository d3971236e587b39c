// Problem 3: max(x1^2 + x2^4, (2 - x1)^2 + (2 - x2)^2, 2 exp(x2 - x1)).
#include <cmath>

#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/three_pieces.hpp"

namespace kinkbench::nonsmooth::p03 {
namespace {

ThreePieces pieces(const double* x) {
  const double q = x[1] * x[1];
  const double a = 2 - x[0];
  const double b = 2 - x[1];
  return {x[0] * x[0] + q * q, a * a + b * b, 2 * std::exp(x[1] - x[0])};
}

int active(const double* x) { return active_of_three(pieces(x)); }

void piece_gradient(int piece, const double* x, double* g) {
  if (piece != 1) {
    common_piece_gradient(piece, x, g);
    return;
  }
  g[0] = 2 * x[0];
  g[1] = 4 * (x[1] * x[1] * x[1]);
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 1;
  x[1] = -0.1;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  *f = max_of_three(pieces(x));
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  piece_gradient(active(x), x, g);
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const int piece = active(x);
  if (piece != 1) {
    common_piece_hessian(piece, x, h);
    return;
  }
  h[0] = 2;
  h[2] = 12 * (x[1] * x[1]);
}

// One group: f1, f2, f3.
int decompose_groups(int /*n*/, int* sizes) { return three_piece_groups(sizes); }

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  decompose_three(x, out, pieces, piece_gradient);
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("f", index + 1); }

}  // namespace kinkbench::nonsmooth::p03
