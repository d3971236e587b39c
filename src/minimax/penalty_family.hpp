// Problems 19 to 21 are penalty families: f_1 = F and f_k = F + 10 g_k. This holds their
// common frame, and the part that problems 20 and 21 share: the leading terms of F
// (through (x(10) - 7)^2) and the penalty functions g_2..g_9, all of x(1..10) only.
//
// Every function takes v 1-based (v[1..10] = x(1..10)) so that the formulas read as
// written; gradients are 1-based too (g[1..10]); hk is the caller's packed triangle.
// Sums are formed left to right, term by term, as the formulas are written.
#pragma once

#include <cstddef>

#include "core/rules.hpp"

namespace kinkbench::minimax::penalty_family {

inline double sq(double a) { return a * a; }

// v[1..count] = x(1..count), so that the formulas index as written.
inline void load(const double* x, double* v, int count) {
  for (int i = 1; i <= count; ++i) v[i] = x[i - 1];
}

// gk(1..count) = g[1..count].
inline void store(const double* g, double* gk, int count) {
  for (int i = 1; i <= count; ++i) gk[i - 1] = g[i];
}

// f_k for the piece k selects: F for piece 1, else F + 10 g_piece.
template <std::size_t Vars, int (*Piece)(int), double (*Objective)(const double*),
          double (*Penalty)(int, const double*)>
void penalised_value(int k, const double* x, double* fk) {
  double v[Vars + 1];
  load(x, v, static_cast<int>(Vars));
  const int p = Piece(k);
  const double f = Objective(v);
  *fk = p == 1 ? f : f + 10 * Penalty(p, v);
}

inline double& at(double* hk, int i, int j) { return hk[kinkbench::detail::packed(i, j)]; }

// F through the (x(10) - 7)^2 term; the callers add their own remaining terms.
inline double objective_head(const double* v) {
  return v[1] * v[1] + v[2] * v[2] + v[1] * v[2] - 14 * v[1] - 16 * v[2] + sq(v[3] - 10) +
         4 * sq(v[4] - 5) + sq(v[5] - 3) + 2 * sq(v[6] - 1) + 5 * (v[7] * v[7]) +
         7 * sq(v[8] - 11) + 2 * sq(v[9] - 10) + sq(v[10] - 7);
}

// g_k for k in 2..9; the callers map every other index to their own fallback first.
inline double penalty(int k, const double* v) {
  switch (k) {
    case 3:
      return 5 * (v[1] * v[1]) + 8 * v[2] + sq(v[3] - 6) - 2 * v[4] - 40;
    case 4:
      return 0.5 * sq(v[1] - 8) + 2 * sq(v[2] - 4) + 3 * (v[5] * v[5]) - v[6] - 30;
    case 5:
      return v[1] * v[1] + 2 * sq(v[2] - 2) - 2 * v[1] * v[2] + 14 * v[5] - 6 * v[6];
    case 6:
      return 4 * v[1] + 5 * v[2] - 3 * v[7] + 9 * v[8] - 105;
    case 7:
      return 10 * v[1] - 8 * v[2] - 17 * v[7] + 2 * v[8];
    case 8:
      return -3 * v[1] + 6 * v[2] + 12 * sq(v[9] - 8) - 7 * v[10];
    case 9:
      return -8 * v[1] + 2 * v[2] + 5 * v[9] - 2 * v[10] - 12;
    default:  // 2
      return 3 * sq(v[1] - 2) + 4 * sq(v[2] - 3) + 2 * (v[3] * v[3]) - 7 * v[4] - 120;
  }
}

// Sets g[1..10] to those components of grad F.
inline void objective_head_gradient(const double* v, double* g) {
  g[1] = 2 * v[1] + v[2] - 14;
  g[2] = 2 * v[2] + v[1] - 16;
  g[3] = 2 * (v[3] - 10);
  g[4] = 8 * (v[4] - 5);
  g[5] = 2 * (v[5] - 3);
  g[6] = 4 * (v[6] - 1);
  g[7] = 10 * v[7];
  g[8] = 14 * (v[8] - 11);
  g[9] = 4 * (v[9] - 10);
  g[10] = 2 * (v[10] - 7);
}

// Adds 10 grad g_k, k in 2..9, to g[1..10].
inline void add_penalty_gradient(int k, const double* v, double* g) {
  switch (k) {
    case 3:
      g[1] = g[1] + 100 * v[1];
      g[2] = g[2] + 80;
      g[3] = g[3] + 20 * (v[3] - 6);
      g[4] = g[4] - 20;
      break;
    case 4:
      g[1] = g[1] + 10 * (v[1] - 8);
      g[2] = g[2] + 40 * (v[2] - 4);
      g[5] = g[5] + 60 * v[5];
      g[6] = g[6] - 10;
      break;
    case 5:
      g[1] = g[1] + 20 * v[1] - 20 * v[2];
      g[2] = g[2] + 40 * (v[2] - 2) - 20 * v[1];
      g[5] = g[5] + 140;
      g[6] = g[6] - 60;
      break;
    case 6:
      g[1] = g[1] + 40;
      g[2] = g[2] + 50;
      g[7] = g[7] - 30;
      g[8] = g[8] + 90;
      break;
    case 7:
      g[1] = g[1] + 100;
      g[2] = g[2] - 80;
      g[7] = g[7] - 170;
      g[8] = g[8] + 20;
      break;
    case 8:
      g[1] = g[1] - 30;
      g[2] = g[2] + 60;
      g[9] = g[9] + 240 * (v[9] - 8);
      g[10] = g[10] - 70;
      break;
    case 9:
      g[1] = g[1] - 80;
      g[2] = g[2] + 20;
      g[9] = g[9] + 50;
      g[10] = g[10] - 20;
      break;
    default:  // 2
      g[1] = g[1] + 60 * (v[1] - 2);
      g[2] = g[2] + 80 * (v[2] - 3);
      g[3] = g[3] + 40 * v[3];
      g[4] = g[4] - 70;
      break;
  }
}

// Writes the entries of grad^2 F in rows 1..10 (F is quadratic there) into a triangle
// the caller has cleared.
inline void objective_head_hessian(double* hk) {
  at(hk, 1, 1) = 2;
  at(hk, 2, 1) = 1;
  at(hk, 2, 2) = 2;
  at(hk, 3, 3) = 2;
  at(hk, 4, 4) = 8;
  at(hk, 5, 5) = 2;
  at(hk, 6, 6) = 4;
  at(hk, 7, 7) = 10;
  at(hk, 8, 8) = 14;
  at(hk, 9, 9) = 4;
  at(hk, 10, 10) = 2;
}

// Adds 10 grad^2 g_k, k in 2..9 (constant: every g_k is at most quadratic).
inline void add_penalty_hessian(int k, double* hk) {
  switch (k) {
    case 3:
      at(hk, 1, 1) += 100;
      at(hk, 3, 3) += 20;
      break;
    case 4:
      at(hk, 1, 1) += 10;
      at(hk, 2, 2) += 40;
      at(hk, 5, 5) += 60;
      break;
    case 5:
      at(hk, 1, 1) += 20;
      at(hk, 2, 1) -= 20;
      at(hk, 2, 2) += 40;
      break;
    case 8:
      at(hk, 9, 9) += 240;
      break;
    case 6:
    case 7:
    case 9:
      break;  // linear penalties
    default:  // 2
      at(hk, 1, 1) += 60;
      at(hk, 2, 2) += 80;
      at(hk, 3, 3) += 40;
      break;
  }
}

}  // namespace kinkbench::minimax::penalty_family
