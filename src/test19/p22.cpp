// Nonsmooth problem 22: f = 50 max(x(1..50)) - sum x(1..50). Piecewise linear, so its
// Hessian is the cleared triangle.
#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p22 {
namespace {

constexpr int kN = 50;
constexpr double kStart = -1e60;

// 1-based index of the first largest x(i) above the start value; 0 when none exceeds it.
int chosen(const double* x) {
  int k = 0;
  double running = kStart;
  for (int i = 1; i <= kN; ++i) {
    if (x[i - 1] > running) {
      k = i;
      running = x[i - 1];
    }
  }
  return k;
}

}  // namespace

void setup(int n, double* x, double* /*data*/) {
  for (int i = 1; i <= n; ++i) x[i - 1] = i - 25.5;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  double running = kStart;
  for (int i = 0; i < kN; ++i) {
    if (detail::replaces_max(x[i], running)) running = x[i];
  }
  double sum = 0.0;
  for (int i = 0; i < kN; ++i) sum += x[i];
  *f = 50.0 * running - sum;
}

// When no component exceeds the start value the maximum is that constant and adds nothing.
void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  for (int i = 0; i < kN; ++i) g[i] = -1.0;
  const int k = chosen(x);
  if (k != 0) g[k - 1] += 50.0;
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

// -sum x(i) + max 50 x(i); the start value -1e60 is left out.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = kN;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  double sum = 0.0;
  for (int i = 0; i < kN; ++i) sum += x[i];
  *out.s = -sum;
  for (int i = 0; i < kN; ++i) {
    out.ds[i] = -1.0;
    out.phi[i] = 50.0 * x[i];
    out.grad(i)[i] = 50.0;
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("x", index + 1); }

}  // namespace kinkbench::nonsmooth::p22
