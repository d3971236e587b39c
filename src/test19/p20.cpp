// Nonsmooth problem 20: the largest absolute value of x(1..20). Piecewise linear, so its
// Hessian is the cleared triangle.
#include <cmath>

#include "core/rules.hpp"
#include "test19/largest_term.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p20 {
namespace {

constexpr int kN = 20;

Largest largest(const double* x) {
  return largest_term(x, kN, [](double xi) { return std::fabs(xi); });
}

}  // namespace

// Problem 19's starting point.
void setup(int n, double* x, double* data) { p19::setup(n, x, data); }

void value(int /*n*/, const double* x, double* f, const double* /*data*/) { *f = largest(x).value; }

// The sign bit decides at a kink: +0 gives +1, -0 gives -1.
void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const int k = largest(x).index;
  g[k - 1] = detail::sgnbit(x[k - 1]);
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

// One group: +x(1)..+x(20), then -x(1)..-x(20).
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 2 * kN;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  for (int i = 0; i < kN; ++i) {
    out.phi[i] = x[i];
    out.phi[kN + i] = -x[i];
    out.grad(i)[i] = 1;
    out.grad(kN + i)[i] = -1;
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  return signed_name(index < kN, "x", index % kN + 1);
}

}  // namespace kinkbench::nonsmooth::p20
