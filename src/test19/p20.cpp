// Nonsmooth problem 20: the largest absolute value of x(1..20). Piecewise linear, so its
// Hessian is the cleared triangle.
#include <cmath>

#include "core/rules.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p20 {
namespace {

constexpr int kN = 20;

// 1-based index of the first largest |x(i)|, by the same scan as problem 19.
int chosen(const double* x) {
  int k = 1;
  double running = std::fabs(x[0]);
  for (int i = 2; i <= kN; ++i) {
    const double a = std::fabs(x[i - 1]);
    if (a > running) k = i;
    if (detail::replaces_max(a, running)) running = a;
  }
  return k;
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  for (int i = 1; i <= 10; ++i) x[i - 1] = i;
  for (int i = 11; i <= kN; ++i) x[i - 1] = -i;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  double running = std::fabs(x[0]);
  for (int i = 1; i < kN; ++i) {
    const double a = std::fabs(x[i]);
    if (detail::replaces_max(a, running)) running = a;
  }
  *f = running;
}

// The sign bit decides at a kink: +0 gives +1, -0 gives -1.
void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const int k = chosen(x);
  g[k - 1] = detail::sgnbit(x[k - 1]);
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

}  // namespace kinkbench::nonsmooth::p20
