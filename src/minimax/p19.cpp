// Problem 19: a polynomial F of x(1..7) and four penalised constraints; f_1 = F and
// f_k = F + 10 g_k. Every k other than 1, 3, 4 and 5 takes g_2, in all three routines.
#include "core/rules.hpp"
#include "minimax/integer_power.hpp"
#include "minimax/penalty_family.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p19 {
namespace {

namespace pf = penalty_family;
using kinkbench::minimax::detail::ipow;

constexpr int kVars = 7;

// The partial function that k selects; value, gradient and Hessian all go through it.
int piece(int k) { return (k == 1 || k == 3 || k == 4 || k == 5) ? k : 2; }

using pf::at;
using pf::sq;

// v[1..7] = x(1..7), so the formulas keep their 1-based indices.
double objective(const double* v) {
  return sq(v[1] - 10) + 5 * sq(v[2] - 12) + ipow(v[3], 4) + 3 * sq(v[4] - 11) +
         10 * ipow(v[5], 6) + 7 * (v[6] * v[6]) + ipow(v[7], 4) - 4 * v[6] * v[7] - 10 * v[6] -
         8 * v[7];
}

double penalty(int piece_k, const double* v) {
  switch (piece_k) {
    case 3:
      return 7 * v[1] + 3 * v[2] + 10 * (v[3] * v[3]) + v[4] - v[5] - 282;
    case 4:
      return 23 * v[1] + v[2] * v[2] + 6 * (v[6] * v[6]) - 8 * v[7] - 196;
    case 5:
      return 4 * (v[1] * v[1]) + v[2] * v[2] - 3 * v[1] * v[2] + 2 * (v[3] * v[3]) + 5 * v[6] -
             11 * v[7];
    default:  // 2
      return 2 * (v[1] * v[1]) + 3 * ipow(v[2], 4) + v[3] + 4 * (v[4] * v[4]) + 5 * v[5] - 127;
  }
}

}  // namespace

// Writes x(1..7) only; x(8..n) keep the caller's values.
void setup(int /*n*/, double* x, double* /*data*/) {
  constexpr double kStart[kVars] = {1, 2, 0, 4, 0, 1, 1};
  for (int i = 0; i < kVars; ++i) x[i] = kStart[i];
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  pf::penalised_value<kVars, piece, objective, penalty>(k, x, fk);
}

// Writes gk(1..7) only.
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  double v[kVars + 1];
  pf::load(x, v, kVars);
  double g[kVars + 1];
  g[1] = 2 * (v[1] - 10);
  g[2] = 10 * (v[2] - 12);
  g[3] = 4 * ipow(v[3], 3);
  g[4] = 6 * (v[4] - 11);
  g[5] = 60 * ipow(v[5], 5);
  g[6] = 14 * v[6] - 4 * v[7] - 10;
  g[7] = 4 * ipow(v[7], 3) - 4 * v[6] - 8;
  switch (piece(k)) {
    case 1:
      break;
    case 3:
      g[1] = g[1] + 70;
      g[2] = g[2] + 30;
      g[3] = g[3] + 200 * v[3];
      g[4] = g[4] + 10;
      g[5] = g[5] - 10;
      break;
    case 4:
      g[1] = g[1] + 230;
      g[2] = g[2] + 20 * v[2];
      g[6] = g[6] + 120 * v[6];
      g[7] = g[7] - 80;
      break;
    case 5:
      g[1] = g[1] + 80 * v[1] - 30 * v[2];
      g[2] = g[2] + 20 * v[2] - 30 * v[1];
      g[3] = g[3] + 40 * v[3];
      g[6] = g[6] + 50;
      g[7] = g[7] - 110;
      break;
    default:  // 2
      g[1] = g[1] + 40 * v[1];
      g[2] = g[2] + 120 * ipow(v[2], 3);
      g[3] = g[3] + 10;
      g[4] = g[4] + 80 * v[4];
      g[5] = g[5] + 50;
      break;
  }
  pf::store(g, gk, kVars);
}

// Clears all n(n+1)/2 entries, then writes rows 1..7.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  double v[kVars + 1];
  pf::load(x, v, kVars);
  kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
  at(hk, 1, 1) = 2;
  at(hk, 2, 2) = 10;
  at(hk, 3, 3) = 12 * (v[3] * v[3]);
  at(hk, 4, 4) = 6;
  at(hk, 5, 5) = 300 * ipow(v[5], 4);
  at(hk, 6, 6) = 14;
  at(hk, 7, 6) = -4;
  at(hk, 7, 7) = 12 * (v[7] * v[7]);
  switch (piece(k)) {
    case 1:
      break;
    case 3:
      at(hk, 3, 3) += 200;
      break;
    case 4:
      at(hk, 2, 2) += 20;
      at(hk, 6, 6) += 120;
      break;
    case 5:
      at(hk, 1, 1) += 80;
      at(hk, 2, 1) = -30;
      at(hk, 2, 2) += 20;
      at(hk, 3, 3) += 40;
      break;
    default:  // 2
      at(hk, 1, 1) += 40;
      at(hk, 2, 2) += 360 * (v[2] * v[2]);
      at(hk, 4, 4) += 80;
      break;
  }
}

}  // namespace kinkbench::minimax::p19
