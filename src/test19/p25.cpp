// Nonsmooth problem 25: exact-penalty form of the cubic program's optimality system in 15
// variables, x(1..5) the program's variables and x(6..15) the multipliers of the rows of A,
// with constraints h(j) <= 0 and x >= 0 penalised at weight 100.
#include <cmath>

#include "core/rules.hpp"
#include "test19/cubic_program_data.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p25 {
namespace {

namespace cp = cubic_program;
constexpr int kN = 15;
constexpr int kM = cp::kVariables;  // the program's variables and the constraints h(j)

// (C x)(j) over the program's variables, summed in increasing i.
double c_times_x(const double* x, const double* data, int j) {
  double s = 0;
  for (int i = 1; i <= kM; ++i) s += cp::c(data, i, j) * x[i - 1];
  return s;
}

// Σ d(j)·x(j)³, in increasing j.
double cubic_sum(const double* x, const double* data) {
  double s = 0;
  for (int j = 1; j <= kM; ++j) {
    const double xj = x[j - 1];
    s += cp::d(data, j) * (xj * xj * xj);
  }
  return s;
}

double constraint(const double* x, const double* data, int j) {
  double multipliers = 0;
  for (int i = 1; i <= cp::kRows; ++i) multipliers += cp::a(data, i, j) * x[5 + i - 1];
  const double xj = x[j - 1];
  return multipliers - 2 * c_times_x(x, data, j) - 3 * cp::d(data, j) * (xj * xj) - cp::e(data, j);
}

struct Piece {
  double sigma;     // sign of Σ d(j)·x(j)³ by its sign bit
  bool active[kM];  // constraint j: active unless h(j) <= 0, so a NaN h(j) is active
};

// The one piece choice of gradient and Hessian. The value adds nothing for a NaN h(j),
// the derivatives count it as active: the two rules differ on purpose.
Piece piece(const double* x, const double* data) {
  Piece p{};
  p.sigma = detail::sgnbit(cubic_sum(x, data));
  for (int j = 1; j <= kM; ++j) p.active[j - 1] = !(constraint(x, data, j) <= 0);
  return p;
}

}  // namespace

void setup(int n, double* x, double* data) {
  for (int i = 0; i < n; ++i) x[i] = 0.0001;
  x[11] = 60;
  cp::write(data);
}

// Below the problem's dimension x holds fewer components than the formulas read, so the
// evaluation routines write nothing (the outputs stay cleared).
void value(int /*n*/, const double* x, double* f, const double* data) {
  double quadratic = 0;
  for (int j = 1; j <= kM; ++j) quadratic += x[j - 1] * c_times_x(x, data, j);
  double linear = 0;
  for (int i = 1; i <= cp::kRows; ++i) linear += cp::b(data, i) * x[5 + i - 1];
  double result = quadratic + 2 * std::fabs(cubic_sum(x, data)) - linear;
  for (int j = 1; j <= kM; ++j) {
    const double hj = constraint(x, data, j);
    if (hj > 0) result = result + 100 * hj;
  }
  for (int i = 0; i < kN; ++i) {
    if (x[i] < 0) result = result + 100 * (-x[i]);
  }
  *f = result;
}

void gradient(int /*n*/, const double* x, double* g, const double* data) {
  const Piece p = piece(x, data);
  for (int j = 1; j <= kM; ++j) {
    const double xj = x[j - 1];
    g[j - 1] = 2 * c_times_x(x, data, j) + 6 * p.sigma * cp::d(data, j) * (xj * xj);
  }
  for (int i = 1; i <= cp::kRows; ++i) g[5 + i - 1] = -cp::b(data, i);
  for (int j = 1; j <= kM; ++j) {
    if (!p.active[j - 1]) continue;
    g[j - 1] = g[j - 1] - 600 * cp::d(data, j) * x[j - 1];
    for (int k = 1; k <= kM; ++k) g[k - 1] = g[k - 1] - 200 * cp::c(data, k, j);
    for (int i = 1; i <= cp::kRows; ++i) g[5 + i - 1] = g[5 + i - 1] + 100 * cp::a(data, i, j);
  }
  for (int i = 0; i < kN; ++i) {
    if (x[i] < 0) g[i] = g[i] - 100;
  }
}

// Rows 6..15 (the multipliers) stay 0: the objective is linear in them.
void hessian(int /*n*/, const double* x, double* h, const double* data) {
  const Piece p = piece(x, data);
  for (int i = 1; i <= kM; ++i) {
    for (int j = 1; j < i; ++j) h[detail::packed(i, j)] = 2 * cp::c(data, i, j);
    double diagonal = 2 * cp::c(data, i, i) + 12 * p.sigma * cp::d(data, i) * x[i - 1];
    if (p.active[i - 1]) diagonal = diagonal - 600 * cp::d(data, i);
    h[detail::packed(i, i)] = diagonal;
  }
}

// x'Cx - b'y plus the groups max(2 u, -2 u) with u = sum d(j) x(j)^3, max(0, 100 h(j))
// for j = 1..5 and max(0, -100 x(i)) for i = 1..15, in the formula's order.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) {
    for (int g = 0; g < 1 + kM + kN; ++g) sizes[g] = 2;
  }
  return 1 + kM + kN;
}

void decompose(int /*n*/, const double* x, const double* data, const PieceOut& out) {
  double quadratic = 0;
  for (int j = 1; j <= kM; ++j) quadratic += x[j - 1] * c_times_x(x, data, j);
  double linear = 0;
  for (int i = 1; i <= cp::kRows; ++i) linear += cp::b(data, i) * x[5 + i - 1];
  *out.s = quadratic - linear;
  for (int j = 1; j <= kM; ++j) out.ds[j - 1] = 2 * c_times_x(x, data, j);
  for (int i = 1; i <= cp::kRows; ++i) out.ds[5 + i - 1] = -cp::b(data, i);
  const double u = cubic_sum(x, data);
  out.phi[0] = 2 * u;
  out.phi[1] = -(2 * u);
  for (int j = 1; j <= kM; ++j) {
    const double xj = x[j - 1];
    out.grad(0)[j - 1] = 6 * cp::d(data, j) * (xj * xj);
    out.grad(1)[j - 1] = -(6 * cp::d(data, j) * (xj * xj));
  }
  for (int j = 1; j <= kM; ++j) {
    const int piece = 2 * j + 1;
    out.phi[piece] = 100 * constraint(x, data, j);
    double* g = out.grad(piece);
    for (int k = 1; k <= kM; ++k) g[k - 1] = -(200 * cp::c(data, k, j));
    g[j - 1] = -(600 * cp::d(data, j) * x[j - 1]) + g[j - 1];
    for (int i = 1; i <= cp::kRows; ++i) g[5 + i - 1] = 100 * cp::a(data, i, j);
  }
  for (int i = 0; i < kN; ++i) {
    const int piece = 2 * (1 + kM + i) + 1;
    out.phi[piece] = 100 * (-x[i]);
    out.grad(piece)[i] = -100;
  }
}

std::string piece_name(int /*n*/, int group, int index) {
  if (group == 1) return index == 0 ? "+u" : "-u";
  if (index == 0) return "0";
  return group <= 1 + kM ? numbered("h", group - 1) : numbered("x", group - 1 - kM);
}

}  // namespace kinkbench::nonsmooth::p25
