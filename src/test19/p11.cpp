// Problem 11: f0 + 10 max(0, c1, c2, c3), a quadratic with three quadratic constraints
// as an exact penalty.
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p11 {
namespace {

struct Terms {
  double f0;
  double penalty;  // the active term's value
  int active;      // 0: no penalty, else the constraint's number
};

// Scans 0, c1, c2, c3 and switches only to a strictly larger value, so a constraint at
// 0 or equal to an earlier term leaves the earlier choice. Value and derivatives share
// it, so they always agree on the piece; a NaN constraint is never chosen.
// f0, and c1, c2, c3 into c.
double constraints(const double* x, double* c) {
  const double x1 = x[0];
  const double x2 = x[1];
  const double x3 = x[2];
  const double x4 = x[3];
  const double q1 = x1 * x1;
  const double q2 = x2 * x2;
  const double q3 = x3 * x3;
  const double q4 = x4 * x4;
  c[0] = q1 + q2 + q3 + q4 + x1 - x2 + x3 - x4 - 8;
  c[1] = q1 + 2 * q2 + q3 + 2 * q4 - x1 - x4 - 10;
  c[2] = q1 + q2 + q3 + 2 * x1 - x2 - x4 - 5;
  return q1 + q2 + 2 * q3 + q4 - 5 * x1 - 5 * x2 - 21 * x3 + 7 * x4;
}

Terms terms(const double* x) {
  double c[3];
  Terms t{constraints(x, c), 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (c[i] > t.penalty) {
      t.penalty = c[i];
      t.active = i + 1;
    }
  }
  return t;
}

// Gradient = slope * x + offset, Hessian diagonal = slope, per active term.
struct Row {
  double slope[4];
  double offset[4];
};

constexpr Row kRows[4] = {
    {{2, 2, 4, 2}, {-5, -5, -21, 7}},
    {{22, 22, 24, 22}, {5, -15, -11, -3}},
    {{22, 42, 24, 42}, {-15, -5, -21, -3}},
    {{22, 22, 24, 2}, {15, -15, -21, -3}},
};

}  // namespace

void setup(int /*n*/, double* /*x*/, double* /*data*/) {}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const Terms t = terms(x);
  *f = t.f0 + 10 * t.penalty;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const Row& r = kRows[terms(x).active];
  for (int i = 0; i < 4; ++i) g[i] = r.slope[i] * x[i] + r.offset[i];
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const Row& r = kRows[terms(x).active];
  h[0] = r.slope[0];
  h[2] = r.slope[1];
  h[5] = r.slope[2];
  h[9] = r.slope[3];
}

// f0 + max(0, 10 c1, 10 c2, 10 c3).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 4;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  double c[3];
  *out.s = constraints(x, c);
  const Row& r0 = kRows[0];
  for (int i = 0; i < 4; ++i) out.ds[i] = r0.slope[i] * x[i] + r0.offset[i];
  for (int k = 1; k <= 3; ++k) {
    out.phi[k] = 10 * c[k - 1];
    const Row& r = kRows[k];
    for (int i = 0; i < 4; ++i) {
      out.grad(k)[i] = (r.slope[i] - r0.slope[i]) * x[i] + (r.offset[i] - r0.offset[i]);
    }
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  return index == 0 ? "0" : numbered("c", index);
}

}  // namespace kinkbench::nonsmooth::p11
