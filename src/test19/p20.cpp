// Nonsmooth problem 20: the largest absolute value of x(1..20). Piecewise linear, so its
// Hessian is the cleared triangle.
#include <cmath>

#include "core/rules.hpp"
#include "test19/largest_term.hpp"
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

}  // namespace kinkbench::nonsmooth::p20
