// Nonsmooth problem 19: the largest square of x(1..20).
#include "core/rules.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p19 {
namespace {

constexpr int kN = 20;

// 1-based index of the first largest square. The index moves only to a strictly greater
// square, while the running value also leaves a NaN behind, so a NaN x(1) keeps k = 1.
int chosen(const double* x) {
  int k = 1;
  double running = x[0] * x[0];
  for (int i = 2; i <= kN; ++i) {
    const double sq = x[i - 1] * x[i - 1];
    if (sq > running) k = i;
    if (detail::replaces_max(sq, running)) running = sq;
  }
  return k;
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  for (int i = 1; i <= 10; ++i) x[i - 1] = i;
  for (int i = 11; i <= kN; ++i) x[i - 1] = -i;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  double running = x[0] * x[0];
  for (int i = 1; i < kN; ++i) {
    const double sq = x[i] * x[i];
    if (detail::replaces_max(sq, running)) running = sq;
  }
  *f = running;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const int k = chosen(x);
  g[k - 1] = 2.0 * x[k - 1];
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const int k = chosen(x);
  h[detail::packed(k, k)] = 2.0;
}

}  // namespace kinkbench::nonsmooth::p19
