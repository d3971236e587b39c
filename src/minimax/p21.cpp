// Problem 21: problem 20's F extended to x(1..20), with problem 20's g_2..g_9 and nine
// more penalised constraints; f_1 = F and f_k = F + 10 g_k. Every k other than 1..18
// takes g_10, in the value, the gradient and also the Hessian (there grad^2 F, since
// g_10 is linear), so the three routines always describe one function.
#include "core/rules.hpp"
#include "minimax/integer_power.hpp"
#include "minimax/penalty_family.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p21 {
namespace {

namespace pf = penalty_family;
using kinkbench::minimax::detail::ipow;
using pf::at;
using pf::sq;

constexpr int kVars = 20;

// The partial function that k selects; value, gradient and Hessian all go through it.
int piece(int k) { return (k >= 1 && k <= 18) ? k : 10; }

double objective(const double* v) {
  return pf::objective_head(v) + sq(v[11] - 9) + 10 * sq(v[12] - 1) + 5 * sq(v[13] - 7) +
         4 * sq(v[14] - 14) + 27 * sq(v[15] - 1) + ipow(v[16], 4) + sq(v[17] - 2) +
         13 * sq(v[18] - 2) + sq(v[19] - 3) + v[20] * v[20] + 95;
}

double penalty(int piece_k, const double* v) {
  switch (piece_k) {
    case 11:
      return v[1] * v[1] + 15 * v[11] - 8 * v[12] - 28;
    case 12:
      return 4 * v[1] + 9 * v[2] + 5 * (v[13] * v[13]) - 9 * v[14] - 87;
    case 13:
      return 3 * v[1] + 4 * v[2] + 3 * sq(v[13] - 6) - 14 * v[14] - 10;
    case 14:
      return 14 * (v[1] * v[1]) + 35 * v[15] - 79 * v[16] - 92;
    case 15:
      return 15 * (v[2] * v[2]) + 11 * v[15] - 61 * v[16] - 54;
    case 16:
      return 5 * (v[1] * v[1]) + 2 * v[2] + 9 * ipow(v[17], 4) - v[18] - 68;
    case 17:
      return v[1] * v[1] - v[2] + 19 * v[19] - 20 * v[20] + 19;
    case 18:
      return 7 * (v[1] * v[1]) + 5 * (v[2] * v[2]) + v[19] * v[19] - 30 * v[20];
    case 10:
      return v[1] + v[2] + 4 * v[11] - 21 * v[12];
    default:  // 2..9
      return pf::penalty(piece_k, v);
  }
}

}  // namespace

// Writes x(1..20) only.
void setup(int /*n*/, double* x, double* /*data*/) {
  constexpr double kStart[kVars] = {2, 3, 5, 5, 1, 2, 7, 3, 6, 10, 2, 2, 6, 15, 1, 2, 1, 2, 1, 3};
  for (int i = 0; i < kVars; ++i) x[i] = kStart[i];
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  pf::penalised_value<kVars, piece, objective, penalty>(k, x, fk);
}

// Writes gk(1..20) only.
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  double v[kVars + 1];
  pf::load(x, v, kVars);
  double g[kVars + 1];
  pf::objective_head_gradient(v, g);
  g[11] = 2 * (v[11] - 9);
  g[12] = 20 * (v[12] - 1);
  g[13] = 10 * (v[13] - 7);
  g[14] = 8 * (v[14] - 14);
  g[15] = 54 * (v[15] - 1);
  g[16] = 4 * ipow(v[16], 3);
  g[17] = 2 * (v[17] - 2);
  g[18] = 26 * (v[18] - 2);
  g[19] = 2 * (v[19] - 3);
  g[20] = 2 * v[20];
  switch (const int p = piece(k)) {
    case 1:
      break;
    case 11:
      g[1] = g[1] + 20 * v[1];
      g[11] = g[11] + 150;
      g[12] = g[12] - 80;
      break;
    case 12:
      g[1] = g[1] + 40;
      g[2] = g[2] + 90;
      g[13] = g[13] + 100 * v[13];
      g[14] = g[14] - 90;
      break;
    case 13:
      g[1] = g[1] + 30;
      g[2] = g[2] + 40;
      g[13] = g[13] + 60 * (v[13] - 6);
      g[14] = g[14] - 140;
      break;
    case 14:
      g[1] = g[1] + 280 * v[1];
      g[15] = g[15] + 350;
      g[16] = g[16] - 790;
      break;
    case 15:
      g[2] = g[2] + 300 * v[2];
      g[15] = g[15] + 110;
      g[16] = g[16] - 610;
      break;
    case 16:
      g[1] = g[1] + 100 * v[1];
      g[2] = g[2] + 20;
      g[17] = g[17] + 360 * ipow(v[17], 3);
      g[18] = g[18] - 10;
      break;
    case 17:
      g[1] = g[1] + 20 * v[1];
      g[2] = g[2] - 10;
      g[19] = g[19] + 190;
      g[20] = g[20] - 200;
      break;
    case 18:
      g[1] = g[1] + 140 * v[1];
      g[2] = g[2] + 100 * v[2];
      g[19] = g[19] + 20 * v[19];
      g[20] = g[20] - 300;
      break;
    case 10:
      g[1] = g[1] + 10;
      g[2] = g[2] + 10;
      g[11] = g[11] + 40;
      g[12] = g[12] - 210;
      break;
    default:  // 2..9
      pf::add_penalty_gradient(p, v, g);
      break;
  }
  pf::store(g, gk, kVars);
}

// Clears all n(n+1)/2 entries, then writes rows 1..20.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  double v[kVars + 1];
  pf::load(x, v, kVars);
  kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
  pf::objective_head_hessian(hk);
  at(hk, 11, 11) = 2;
  at(hk, 12, 12) = 20;
  at(hk, 13, 13) = 10;
  at(hk, 14, 14) = 8;
  at(hk, 15, 15) = 54;
  at(hk, 16, 16) = 12 * (v[16] * v[16]);
  at(hk, 17, 17) = 2;
  at(hk, 18, 18) = 26;
  at(hk, 19, 19) = 2;
  at(hk, 20, 20) = 2;
  switch (const int p = piece(k)) {
    case 1:
    case 10:  // g_10 is linear
      break;
    case 11:
      at(hk, 1, 1) += 20;
      break;
    case 12:
      at(hk, 13, 13) += 100;
      break;
    case 13:
      at(hk, 13, 13) += 60;
      break;
    case 14:
      at(hk, 1, 1) += 280;
      break;
    case 15:
      at(hk, 2, 2) += 300;
      break;
    case 16:
      at(hk, 1, 1) += 100;
      at(hk, 17, 17) += 1080 * (v[17] * v[17]);
      break;
    case 17:
      at(hk, 1, 1) += 20;
      break;
    case 18:
      at(hk, 1, 1) += 140;
      at(hk, 2, 2) += 100;
      at(hk, 19, 19) += 20;
      break;
    default:  // 2..9
      pf::add_penalty_hessian(p, hk);
      break;
  }
}

}  // namespace kinkbench::minimax::p21
