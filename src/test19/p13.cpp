// Nonsmooth problem 13: a cubic program in 5 variables with the exact penalty
// 50·max(0, r(1), ..., r(10)) of the linear constraints r(i) = b(i) - (A x)(i) <= 0.
#include "core/rules.hpp"
#include "test19/cubic_program_data.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p13 {
namespace {

namespace cp = cubic_program;
constexpr int kN = cp::kVariables;

double residual(const double* x, const double* data, int i) {
  double s = 0;
  for (int j = 1; j <= kN; ++j) s += cp::a(data, i, j) * x[j - 1];
  return cp::b(data, i) - s;
}

// (C x)(j), summed in increasing i.
double c_times_x(const double* x, const double* data, int j) {
  double s = 0;
  for (int i = 1; i <= kN; ++i) s += cp::c(data, i, j) * x[i - 1];
  return s;
}

struct Penalty {
  double value;  // max(0, r(1), ..., r(10)) under the maximum rule
  int row;       // earliest residual attaining it; 0 when the maximum is the leading 0
};

// The one piece choice of value, gradient and Hessian. The running value starts at the
// constant 0 and so is never NaN: a NaN residual is passed over, and a row is chosen only
// when its residual is positive and strictly above every earlier one.
Penalty penalty(const double* x, const double* data) {
  Penalty p{0.0, 0};
  for (int i = 1; i <= cp::kRows; ++i) {
    const double r = residual(x, data, i);
    if (detail::replaces_max(r, p.value)) {
      p.value = r;
      p.row = i;
    }
  }
  return p;
}

// e'x + x'Cx + d'x^3, each sum in increasing j and added in that order.
double program(const double* x, const double* data) {
  double linear = 0;
  for (int j = 1; j <= kN; ++j) linear += cp::e(data, j) * x[j - 1];
  double quadratic = 0;
  for (int j = 1; j <= kN; ++j) quadratic += x[j - 1] * c_times_x(x, data, j);
  double cubic = 0;
  for (int j = 1; j <= kN; ++j) {
    const double xj = x[j - 1];
    cubic += cp::d(data, j) * (xj * xj * xj);
  }
  return linear + quadratic + cubic;
}

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[4] = 1;
  cp::write(data);
}

// Below the problem's dimension x holds fewer components than the formulas read, so the
// evaluation routines write nothing (the outputs stay cleared).
void value(int /*n*/, const double* x, double* f, const double* data) {
  *f = program(x, data) + 50 * penalty(x, data).value;
}

void gradient(int /*n*/, const double* x, double* g, const double* data) {
  const Penalty p = penalty(x, data);
  for (int j = 1; j <= kN; ++j) {
    const double xj = x[j - 1];
    double gj = 2 * c_times_x(x, data, j) + 3 * cp::d(data, j) * (xj * xj) + cp::e(data, j);
    if (p.row != 0) gj = gj - 50 * cp::a(data, p.row, j);
    g[j - 1] = gj;
  }
}

// The penalty is linear, so only the cubic program contributes; the piece choice is not
// needed.
void hessian(int /*n*/, const double* x, double* h, const double* data) {
  for (int i = 1; i <= kN; ++i) {
    for (int j = 1; j < i; ++j) h[detail::packed(i, j)] = 2 * cp::c(data, i, j);
    h[detail::packed(i, i)] = 2 * cp::c(data, i, i) + 6 * cp::d(data, i) * x[i - 1];
  }
}

// The cubic program plus max(0, 50 r(1), ..., 50 r(10)).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = cp::kRows + 1;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* data, const PieceOut& out) {
  *out.s = program(x, data);
  for (int j = 1; j <= kN; ++j) {
    const double xj = x[j - 1];
    out.ds[j - 1] = 2 * c_times_x(x, data, j) + 3 * cp::d(data, j) * (xj * xj) + cp::e(data, j);
  }
  for (int i = 1; i <= cp::kRows; ++i) {
    out.phi[i] = 50 * residual(x, data, i);
    for (int j = 1; j <= kN; ++j) out.grad(i)[j - 1] = -(50 * cp::a(data, i, j));
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  return index == 0 ? "0" : numbered("r", index);
}

}  // namespace kinkbench::nonsmooth::p13
