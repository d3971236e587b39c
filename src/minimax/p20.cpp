// Problem 20: a quadratic F of x(1..10) and eight penalised constraints; f_1 = F and
// f_k = F + 10 g_k. Every k other than 1..9 takes g_2, in all three routines.
#include "core/rules.hpp"
#include "minimax/penalty_family.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p20 {
namespace {

namespace pf = penalty_family;

constexpr int kVars = 10;

// The partial function that k selects; value, gradient and Hessian all go through it.
int piece(int k) { return (k >= 1 && k <= 9) ? k : 2; }

double objective(const double* v) { return pf::objective_head(v) + 45; }

}  // namespace

// Writes x(1..10) only.
void setup(int /*n*/, double* x, double* /*data*/) {
  constexpr double kStart[kVars] = {2, 3, 5, 5, 1, 2, 7, 3, 6, 10};
  for (int i = 0; i < kVars; ++i) x[i] = kStart[i];
}

void value(int /*n*/, int k, const double* x, double* fk, const double* /*data*/) {
  pf::penalised_value<kVars, piece, objective, pf::penalty>(k, x, fk);
}

// Writes gk(1..10) only.
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  double v[kVars + 1];
  pf::load(x, v, kVars);
  double g[kVars + 1];
  pf::objective_head_gradient(v, g);
  const int p = piece(k);
  if (p != 1) pf::add_penalty_gradient(p, v, g);
  pf::store(g, gk, kVars);
}

// Clears all n(n+1)/2 entries, then writes rows 1..10; the Hessian is constant.
void hessian(int n, int k, const double* /*x*/, double* hk, const double* /*data*/) {
  kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
  pf::objective_head_hessian(hk);
  const int p = piece(k);
  if (p != 1) pf::add_penalty_hessian(p, hk);
}

}  // namespace kinkbench::minimax::p20
