// Problem 6: x1^2 + x2^2 plus the larger of 0 and two linear penalties weighted by 10.
#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/three_pieces.hpp"

namespace kinkbench::nonsmooth::p06 {
namespace {

ThreePieces pieces(const double* x) {
  const double s = x[0] * x[0] + x[1] * x[1];
  return {s, s + 10 * (-4 * x[0] - x[1] + 4), s + 10 * (-x[0] - 2 * x[1] + 6)};
}

int active(const double* x) { return active_of_three(pieces(x)); }

void piece_gradient(int piece, const double* x, double* g) {
  switch (piece) {
    case 1:
      g[0] = 2 * x[0];
      g[1] = 2 * x[1];
      break;
    case 2:
      g[0] = 2 * x[0] - 40;
      g[1] = 2 * x[1] - 10;
      break;
    default:
      g[0] = 2 * x[0] - 10;
      g[1] = 2 * x[1] - 20;
  }
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = -1;
  x[1] = 5;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  *f = max_of_three(pieces(x));
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  piece_gradient(active(x), x, g);
}

// Every piece has the Hessian 2 I, so no choice is needed here.
void hessian(int /*n*/, const double* /*x*/, double* h, const double* /*data*/) {
  h[0] = 2;
  h[2] = 2;
}

// One group: f1, f2, f3.
int decompose_groups(int /*n*/, int* sizes) { return three_piece_groups(sizes); }

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  decompose_three(x, out, pieces, piece_gradient);
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("f", index + 1); }

}  // namespace kinkbench::nonsmooth::p06
