// Minimax problem 18: x9 sqrt(A1/B1) sqrt(A2/B2) against |1 - 2t| at 41 points, each of
// A1, B1, A2, B2 a quadratic in two variables with coefficients cos(pi t), sin(pi t).
// Data: empr06(k) = t_k, empr06(41 + k) = cos(pi t_k), empr06(82 + k) = sin(pi t_k).
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p18 {
namespace {

constexpr int kM = 41;
constexpr double kPi = 3.141592653589793;

// Stored as given, including the five values one unit in the last place away from the
// double nearest the two-decimal number (entries 18, 23, 24, 27 and 32).
// clang-format off
constexpr double kT[kM] = {
    0, 0.01, 0.02, 0.03, 0.04, 0.05, 0.07, 0.1, 0.13, 0.16, 0.19, 0.22, 0.25, 0.28, 0.31,
    0.34, 0.37, 0.39999999999999997, 0.43, 0.46, 0.5, 0.54, 0.5700000000000001,
    0.6000000000000001, 0.63, 0.66, 0.6900000000000001, 0.72, 0.75, 0.78, 0.81,
    0.8400000000000001, 0.87, 0.9, 0.93, 0.95, 0.96, 0.97, 0.98, 0.99, 1};
// clang-format on

bool in_range(int k) { return k >= 1 && k <= kM; }

// A zero quadratic is replaced by a tiny one so the quotients stay finite; NaN stays.
double guarded(double q) { return q == 0 ? 1e-30 : q; }

// One quadratic (xa + (1 + xb) c)^2 + ((1 - xb) s)^2; `lin` is its first factor.
struct Quad {
  double lin, q;
};

Quad quad(double xa, double xb, double c, double s) {
  const double lin = xa + (1 + xb) * c;
  const double sq = (1 - xb) * s;
  return {lin, lin * lin + sq * sq};
}

// Half the derivative of a quadratic with respect to its second variable.
double half_slope(double xa, double xb, double c) { return xa * c + 2 * c * c - 1 + xb; }

// Everything gradient and Hessian share, with all four quadratics guarded.
struct Terms {
  double c, a1, a2, b1, b2, e1, e2, h1, h2, qa1, qb1, qa2, qb2, r, w;
};

Terms terms(int k, const double* x, const double* data) {
  Terms v{};
  v.c = data[kM + k - 1];
  const double s = data[2 * kM + k - 1];
  const Quad qa1 = quad(x[0], x[1], v.c, s);
  const Quad qb1 = quad(x[2], x[3], v.c, s);
  const Quad qa2 = quad(x[4], x[5], v.c, s);
  const Quad qb2 = quad(x[6], x[7], v.c, s);
  v.a1 = qa1.lin;
  v.b1 = qb1.lin;
  v.e1 = qa2.lin;
  v.h1 = qb2.lin;
  v.qa1 = guarded(qa1.q);
  v.qb1 = guarded(qb1.q);
  v.qa2 = guarded(qa2.q);
  v.qb2 = guarded(qb2.q);
  v.a2 = half_slope(x[0], x[1], v.c);
  v.b2 = half_slope(x[2], x[3], v.c);
  v.e2 = half_slope(x[4], x[5], v.c);
  v.h2 = half_slope(x[6], x[7], v.c);
  v.r = std::sqrt(v.qa1 / v.qb1) * std::sqrt(v.qa2 / v.qb2);
  v.w = x[8] * v.r;
  return v;
}

// The gradient's components 1..8 with `scale` in place of W (W itself, or R for the
// Hessian's row 9).
void scaled_gradient(const Terms& v, double scale, double* g) {
  g[0] = (scale / v.qa1) * v.a1;
  g[1] = (scale / v.qa1) * v.a2;
  g[2] = -v.b1 * (scale / v.qb1);
  g[3] = -(scale / v.qb1) * v.b2;
  g[4] = (scale / v.qa2) * v.e1;
  g[5] = (scale / v.qa2) * v.e2;
  g[6] = -v.h1 * (scale / v.qb2);
  g[7] = -(scale / v.qb2) * v.h2;
}

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  constexpr double kStart[9] = {0, 1, 0, -0.15, 0, -0.68, 0, -0.72, 0.37};
  for (int i = 0; i < 9; ++i) x[i] = kStart[i];
  for (int k = 0; k < kM; ++k) {
    data[k] = kT[k];
    data[kM + k] = std::cos(kT[k] * kPi);
    data[2 * kM + k] = std::sin(kT[k] * kPi);
  }
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!in_range(k)) return;
  const double t = data[k - 1];
  const double c = data[kM + k - 1];
  const double s = data[2 * kM + k - 1];
  // The value guards only the denominators.
  const double a1 = quad(x[0], x[1], c, s).q;
  const double b1 = guarded(quad(x[2], x[3], c, s).q);
  const double a2 = quad(x[4], x[5], c, s).q;
  const double b2 = guarded(quad(x[6], x[7], c, s).q);
  *fk = (std::sqrt(a1 / b1) * x[8]) * std::sqrt(a2 / b2) - std::fabs(1 - 2 * t);
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!in_range(k)) return;
  const Terms v = terms(k, x, data);
  scaled_gradient(v, v.w, gk);
  gk[8] = v.r;
}

// At x9 = 0 (W = 0) rows 1..8 divide by zero and carry the IEEE result.
void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  using detail::packed;
  if (!in_range(k)) return;
  const Terms v = terms(k, x, data);
  const double w = v.w;
  double g[8];
  scaled_gradient(v, w, g);
  for (int i = 1; i <= 8; ++i) {
    for (int j = 1; j <= i; ++j) hk[packed(i, j)] = g[i - 1] * g[j - 1] / w;
  }
  // The diagonal 2x2 blocks: numerators (A1, A2) and denominators (B1, B2) differ in
  // sign and in the factor of the squared-gradient term.
  const auto numerator_block = [&](int i, double q) {
    const double a = g[i - 1];
    const double b = g[i];
    hk[packed(i, i)] = w / q - a * a / w;
    hk[packed(i + 1, i)] = v.c * w / q - a * b / w;
    hk[packed(i + 1, i + 1)] = w / q - b * b / w;
  };
  const auto denominator_block = [&](int i, double q) {
    const double a = g[i - 1];
    const double b = g[i];
    hk[packed(i, i)] = 3 * (a * a) / w - w / q;
    hk[packed(i + 1, i)] = 3 * a * b / w - v.c * w / q;
    hk[packed(i + 1, i + 1)] = 3 * (b * b) / w - w / q;
  };
  numerator_block(1, v.qa1);
  denominator_block(3, v.qb1);
  numerator_block(5, v.qa2);
  denominator_block(7, v.qb2);
  double row9[8];
  scaled_gradient(v, v.r, row9);
  for (int j = 1; j <= 8; ++j) hk[packed(9, j)] = row9[j - 1];
  hk[packed(9, 9)] = 0;
}

}  // namespace kinkbench::minimax::p18
