// Nonsmooth problem 18: a weighted chain of plane distances through six free points
// P_i = (x(i), x(i+6)), anchored at the origin and at (5.5, -1), each point also pulled
// towards a fixed point Q_i.
//
// Data area: Q's first coordinates at 1..6, second coordinates at 7..12, the weights w at
// 13..18 and u at 19..23 (1-based).
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/tables/pp.hpp"

namespace kinkbench::nonsmooth::p18 {
namespace {

using detail::packed;

constexpr int kPoints = 6;
constexpr double kEndX = 5.5;
constexpr double kEndY = -1.0;

// One term w |U - V| of group `group` (0 origin, 1 fixed points, 2 chain, 3 end); U is
// free point u (1-based), V is free point v or, for v = 0, the fixed point (vx, vy).
struct Term {
  int group;
  double w;
  int u;
  int v;
  double vx;
  double vy;
};

// The terms in the order the objective lists them.
template <typename Visit>
void for_each_term(const double* data, Visit visit) {
  visit(Term{0, 1.0, 1, 0, 0.0, 0.0});
  for (int i = 1; i <= kPoints; ++i) {
    visit(Term{1, data[12 + i - 1], i, 0, data[i - 1], data[5 + i]});
  }
  for (int i = 1; i < kPoints; ++i) visit(Term{2, data[18 + i - 1], i, i + 1, 0.0, 0.0});
  visit(Term{3, 1.0, kPoints, 0, kEndX, kEndY});
}

struct Delta {
  double d1;
  double d2;
};

Delta delta(const Term& t, const double* x) {
  const double ux = x[t.u - 1], uy = x[t.u + 5];
  const double vx = t.v != 0 ? x[t.v - 1] : t.vx;
  const double vy = t.v != 0 ? x[t.v + 5] : t.vy;
  return Delta{ux - vx, uy - vy};
}

double length(const Delta& d) { return std::sqrt(d.d1 * d.d1 + d.d2 * d.d2); }

// Adds b to the packed entry of the 1-based pair (i, j) in either order.
void add_sym(double* h, int i, int j, double b) { h[i >= j ? packed(i, j) : packed(j, i)] += b; }

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  for (int k = 0; k < kPpSize; ++k) data[k] = pp[k];
  data[9] = -0.5;
  // Each point starts at the mean of its own fixed point, its predecessor and the next
  // fixed point, built in chain order from the origin to the end point.
  double prev_x = 0.0, prev_y = 0.0;
  for (int i = 1; i <= kPoints; ++i) {
    const double next_x = i < kPoints ? data[i] : kEndX;
    const double next_y = i < kPoints ? data[6 + i] : kEndY;
    x[i - 1] = (data[i - 1] + prev_x + next_x) / 3.0;
    x[i + 5] = (data[5 + i] + prev_y + next_y) / 3.0;
    prev_x = x[i - 1];
    prev_y = x[i + 5];
  }
}

void value(int /*n*/, const double* x, double* f, const double* data) {
  // Each sum of the objective is its own subtotal, added in the order written.
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  for_each_term(data, [&](const Term& t) { sums[t.group] += t.w * length(delta(t, x)); });
  *f = sums[0] + sums[1] + sums[2] + sums[3];
}

// No guard at L = 0: a point on its fixed point or on its neighbour gives NaN components.
void gradient(int /*n*/, const double* x, double* g, const double* data) {
  for_each_term(data, [&](const Term& t) {
    const Delta d = delta(t, x);
    const double l = length(d);
    const double a1 = t.w * d.d1 / l;
    const double a2 = t.w * d.d2 / l;
    g[t.u - 1] += a1;
    g[t.u + 5] += a2;
    if (t.v != 0) {
      g[t.v - 1] -= a1;
      g[t.v + 5] -= a2;
    }
  });
}

void hessian(int /*n*/, const double* x, double* h, const double* data) {
  for_each_term(data, [&](const Term& t) {
    const Delta d = delta(t, x);
    const double c = t.w / std::pow(d.d1 * d.d1 + d.d2 * d.d2, 1.5);
    const double b11 = c * (d.d2 * d.d2);
    const double b21 = c * -(d.d1 * d.d2);
    const double b22 = c * (d.d1 * d.d1);
    const int ux = t.u, uy = t.u + 6;
    h[packed(ux, ux)] += b11;
    h[packed(uy, ux)] += b21;
    h[packed(uy, uy)] += b22;
    if (t.v != 0) {
      const int vx = t.v, vy = t.v + 6;
      h[packed(vx, vx)] += b11;
      h[packed(vy, vx)] += b21;
      h[packed(vy, vy)] += b22;
      add_sym(h, ux, vx, -b11);
      add_sym(h, ux, vy, -b21);
      add_sym(h, uy, vx, -b21);
      add_sym(h, uy, vy, -b22);
    }
  });
}

// Each of the 13 weighted distances w |D| is a group: w |D| itself, and w <e_k, D> for 64
// unit vectors e_k evenly around the circle, which never exceed it. Where D is small all
// of those are active within eps, and their hull, the inscribed 64-gon of the disc w B
// that is the distance's subdifferential at D = 0, stands in for the continuum
// (docs/kinks.md). At D = 0 exactly the distance's own gradient is taken as 0, the
// disc's centre, where the gradient routine divides 0 by 0.
namespace {

constexpr int kTerms = 13;
constexpr int kDirections = 64;

}  // namespace

int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) {
    for (int t = 0; t < kTerms; ++t) sizes[t] = 1 + kDirections;
  }
  return kTerms;
}

void decompose(int /*n*/, const double* x, const double* data, const PieceOut& out) {
  int term = 0;
  for_each_term(data, [&](const Term& t) {
    const Delta d = delta(t, x);
    const double l = length(d);
    const int first = term * (1 + kDirections);
    out.phi[first] = t.w * l;
    const double a1 = l == 0 ? 0 : t.w * d.d1 / l;
    const double a2 = l == 0 ? 0 : t.w * d.d2 / l;
    const double pi = 3.14159265358979323846;
    for (int k = 0; k <= kDirections; ++k) {
      const double angle = 2 * pi * (k - 1) / kDirections;
      const double e1 = k == 0 ? a1 : t.w * std::cos(angle);
      const double e2 = k == 0 ? a2 : t.w * std::sin(angle);
      if (k > 0) out.phi[first + k] = e1 * d.d1 + e2 * d.d2;
      double* g = out.grad(first + k);
      g[t.u - 1] += e1;
      g[t.u + 5] += e2;
      if (t.v != 0) {
        g[t.v - 1] -= e1;
        g[t.v + 5] -= e2;
      }
    }
    ++term;
  });
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  return index == 0 ? "L" : numbered("e", index);
}

}  // namespace kinkbench::nonsmooth::p18
