// Problem 5: max(5 x1 + x2, -5 x1 + x2, x1^2 + x2^2 + 4 x2).
#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/three_pieces.hpp"

namespace kinkbench::nonsmooth::p05 {
namespace {

ThreePieces pieces(const double* x) {
  return {5 * x[0] + x[1], -5 * x[0] + x[1], x[0] * x[0] + x[1] * x[1] + 4 * x[1]};
}

int active(const double* x) { return active_of_three(pieces(x)); }

void piece_gradient(int piece, const double* x, double* g) {
  switch (piece) {
    case 1:
      g[0] = 5;
      g[1] = 1;
      break;
    case 2:
      g[0] = -5;
      g[1] = 1;
      break;
    default:
      g[0] = 2 * x[0];
      g[1] = 2 * x[1] + 4;
  }
}

}  // namespace

// The only problem of the first ten whose starting point fills every component.
void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 1;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  *f = max_of_three(pieces(x));
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  piece_gradient(active(x), x, g);
}

// The linear pieces have a zero Hessian, which the cleared output already holds.
void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  if (active(x) == 3) {
    h[0] = 2;
    h[2] = 2;
  }
}

// One group: f1, f2, f3.
int decompose_groups(int /*n*/, int* sizes) { return three_piece_groups(sizes); }

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  decompose_three(x, out, pieces, piece_gradient);
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("f", index + 1); }

}  // namespace kinkbench::nonsmooth::p05
