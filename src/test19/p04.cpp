// Problem 4: max(x1^4 + x2^2, (2 - x1)^2 + (2 - x2)^2, 2 exp(x2 - x1)).
#include <cmath>

#include "test19/problems.hpp"
#include "test19/three_pieces.hpp"

namespace kinkbench::nonsmooth::p04 {
namespace {

struct Pieces {
  double f1, f2, f3;
};

Pieces pieces(const double* x) {
  const double q = x[0] * x[0];
  const double a = 2 - x[0];
  const double b = 2 - x[1];
  return {q * q + x[1] * x[1], a * a + b * b, 2 * std::exp(x[1] - x[0])};
}

int active(const double* x) {
  const Pieces p = pieces(x);
  return active_of_three(p.f1, p.f2, p.f3);
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 2;
  x[1] = 2;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  const Pieces p = pieces(x);
  *f = max_of_three(p.f1, p.f2, p.f3);
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  switch (active(x)) {
    case 1:
      g[0] = 4 * (x[0] * x[0] * x[0]);
      g[1] = 2 * x[1];
      break;
    case 2:
      g[0] = -2 * (2 - x[0]);
      g[1] = -2 * (2 - x[1]);
      break;
    default: {
      const double e = std::exp(x[1] - x[0]);
      g[0] = -2 * e;
      g[1] = 2 * e;
    }
  }
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  switch (active(x)) {
    case 1:
      h[0] = 12 * (x[0] * x[0]);
      h[2] = 2;
      break;
    case 2:
      h[0] = 2;
      h[2] = 2;
      break;
    default: {
      const double e = std::exp(x[1] - x[0]);
      h[0] = 2 * e;
      h[1] = -2 * e;
      h[2] = 2 * e;
    }
  }
}

}  // namespace kinkbench::nonsmooth::p04
