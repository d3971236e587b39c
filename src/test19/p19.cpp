// Nonsmooth problem 19: the largest square of x(1..20).
#include "core/rules.hpp"
#include "test19/largest_term.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p19 {
namespace {

constexpr int kN = 20;

Largest largest(const double* x) {
  return largest_term(x, kN, [](double xi) { return xi * xi; });
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  for (int i = 1; i <= 10; ++i) x[i - 1] = i;
  for (int i = 11; i <= kN; ++i) x[i - 1] = -i;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) { *f = largest(x).value; }

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const int k = largest(x).index;
  g[k - 1] = 2.0 * x[k - 1];
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const int k = largest(x).index;
  h[detail::packed(k, k)] = 2.0;
}

// One group: x(1)^2 .. x(20)^2.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = kN;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  for (int i = 0; i < kN; ++i) {
    out.phi[i] = x[i] * x[i];
    out.grad(i)[i] = 2.0 * x[i];
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) {
  std::string name = numbered("x", index + 1);
  name += "^2";
  return name;
}

}  // namespace kinkbench::nonsmooth::p19
