// The maximum of three pieces and the choice of its active piece, shared by problems 3
// to 6 so that value, gradient and Hessian agree on one rule.
#pragma once

#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"

namespace kinkbench::nonsmooth {

struct ThreePieces {
  double f1, f2, f3;
};

// max(f1, f2, f3), passing over NaN pieces: NaN only when all three are NaN.
inline double max_of_three(double f1, double f2, double f3) {
  double m = f1;
  if (detail::replaces_max(f2, m)) m = f2;
  if (detail::replaces_max(f3, m)) m = f3;
  return m;
}

// 1, 2 or 3: the lowest-numbered piece attaining the maximum. Every comparison with a
// NaN fails, so a NaN among the pieces selects piece 3 even where another piece holds
// the maximum. The choice is deliberate, and the tests pin it.
inline int active_of_three(double f1, double f2, double f3) {
  if (f1 >= f2 && f1 >= f3) return 1;
  if (f1 <= f2 && f2 >= f3) return 2;
  return 3;
}

inline double max_of_three(const ThreePieces& p) { return max_of_three(p.f1, p.f2, p.f3); }
inline int active_of_three(const ThreePieces& p) { return active_of_three(p.f1, p.f2, p.f3); }

// Problems 3 and 4 differ only in their first piece; pieces 2, (2 - x1)^2 + (2 - x2)^2,
// and 3, 2 exp(x2 - x1), and their derivatives are common to both.
inline void common_piece_gradient(int piece, const double* x, double* g) {
  if (piece == 2) {
    g[0] = -2 * (2 - x[0]);
    g[1] = -2 * (2 - x[1]);
  } else {
    const double e = std::exp(x[1] - x[0]);
    g[0] = -2 * e;
    g[1] = 2 * e;
  }
}

inline void common_piece_hessian(int piece, const double* x, double* h) {
  if (piece == 2) {
    h[0] = 2;
    h[2] = 2;
  } else {
    const double e = std::exp(x[1] - x[0]);
    h[0] = 2 * e;
    h[1] = -2 * e;
    h[2] = 2 * e;
  }
}

// Their decomposition too: one group of the three pieces, f1, f2, f3.
inline int three_piece_groups(int* sizes) {
  if (sizes != nullptr) sizes[0] = 3;
  return 1;
}

template <class Pieces, class Gradient>
void decompose_three(const double* x, const PieceOut& out, Pieces pieces, Gradient gradient) {
  const ThreePieces f = pieces(x);
  out.phi[0] = f.f1;
  out.phi[1] = f.f2;
  out.phi[2] = f.f3;
  for (int p = 1; p <= 3; ++p) gradient(p, x, out.grad(p - 1));
}

}  // namespace kinkbench::nonsmooth
