// Problem 25: f_k = y_k - x(1) e^(-x(5) t) - sum over three Gaussians, t = 0.1 (k - 1),
// y_k = data(k) for k = 1..65. k outside 1..65 has no stored value: all three
// evaluation routines then write nothing (the caller's output stays as it was) and
// read no data.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/integer_power.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p25 {
namespace {

using kinkbench::minimax::detail::ipow;

constexpr int kPoints = 65;
constexpr int kVars = 11;

constexpr double kValues[kPoints] = {
    1.366, 1.191, 1.112, 1.013, 0.991, 0.885, 0.831, 0.847, 0.786, 0.725, 0.746, 0.679, 0.608,
    0.655, 0.616, 0.606, 0.602, 0.626, 0.651, 0.724, 0.649, 0.649, 0.694, 0.644, 0.624, 0.661,
    0.612, 0.558, 0.553, 0.495, 0.5,   0.423, 0.395, 0.375, 0.372, 0.391, 0.396, 0.405, 0.428,
    0.429, 0.523, 0.562, 0.607, 0.653, 0.672, 0.708, 0.633, 0.668, 0.645, 0.632, 0.591, 0.559,
    0.597, 0.625, 0.739, 0.71,  0.729, 0.72,  0.636, 0.581, 0.428, 0.292, 0.162, 0.098, 0.054};

bool stored(int k) { return k >= 1 && k <= kPoints; }

double node(int k) { return 0.1 * static_cast<double>(k - 1); }

// The Gaussians, in the order they are subtracted: amplitude p, rate q, centre r (1-based).
struct Gaussian {
  int p, q, r;
};
constexpr Gaussian kGaussians[3] = {{2, 6, 9}, {3, 7, 10}, {4, 8, 11}};

double& at(double* hk, int i, int j) { return hk[kinkbench::detail::packed(i, j)]; }

}  // namespace

// Writes x(1..11) and data(1..65).
void setup(int /*n*/, double* x, double* data) {
  constexpr double kStart[kVars] = {1.3, 0.65, 0.65, 0.7, 0.6, 3, 5, 7, 2, 4.5, 5.5};
  for (int i = 0; i < kVars; ++i) x[i] = kStart[i];
  for (int i = 0; i < kPoints; ++i) data[i] = kValues[i];
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!stored(k)) return;
  const double t = node(k);
  double f = data[k - 1] - x[0] * std::exp(-x[4] * t);
  for (const Gaussian& gs : kGaussians) {
    const double d = t - x[gs.r - 1];
    f = f - x[gs.p - 1] * std::exp(-x[gs.q - 1] * (d * d));
  }
  *fk = f;
}

// Writes gk(1..11).
void gradient(int /*n*/, int k, const double* x, double* gk, const double* /*data*/) {
  if (!stored(k)) return;
  const double t = node(k);
  const double e5 = std::exp(-x[4] * t);
  gk[0] = -e5;
  gk[4] = t * x[0] * e5;
  for (const Gaussian& gs : kGaussians) {
    const double xp = x[gs.p - 1];
    const double xq = x[gs.q - 1];
    const double d = t - x[gs.r - 1];
    const double eq = std::exp(-xq * (d * d));
    gk[gs.p - 1] = -eq;
    gk[gs.q - 1] = (d * d) * xp * eq;
    gk[gs.r - 1] = -2 * xp * xq * d * eq;
  }
}

// Clears all n(n+1)/2 entries, then writes rows 1..11.
void hessian(int n, int k, const double* x, double* hk, const double* /*data*/) {
  if (!stored(k)) return;
  kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
  const double t = node(k);
  const double e5 = std::exp(-x[4] * t);
  at(hk, 5, 1) = t * e5;
  at(hk, 5, 5) = -(t * t) * x[0] * e5;
  for (const Gaussian& gs : kGaussians) {
    const double xp = x[gs.p - 1];
    const double xq = x[gs.q - 1];
    const double d = t - x[gs.r - 1];
    const double eq = std::exp(-xq * (d * d));
    at(hk, gs.q, gs.p) = (d * d) * eq;
    at(hk, gs.r, gs.p) = -2 * xq * d * eq;
    at(hk, gs.q, gs.q) = -ipow(d, 4) * xp * eq;
    at(hk, gs.r, gs.q) = -2 * xp * d * eq + 2 * xp * xq * ipow(d, 3) * eq;
    at(hk, gs.r, gs.r) = 2 * xp * xq * eq - 4 * xp * (xq * xq) * (d * d) * eq;
  }
}

}  // namespace kinkbench::minimax::p25
