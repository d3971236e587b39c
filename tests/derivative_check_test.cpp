// The checker itself must be able to fail, or passing derivative tests prove nothing.
#include "check/derivative_check.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace kc = kinkbench::check;

namespace {

double rosenbrock(const double* x) {
  const double a = x[1] - x[0] * x[0];
  return 100 * a * a + (1 - x[0]) * (1 - x[0]);
}

void rosenbrock_gradient(const double* x, double* g) {
  const double a = x[1] - x[0] * x[0];
  g[0] = -400 * x[0] * a - 2 * (1 - x[0]);
  g[1] = 200 * a;
}

void rosenbrock_hessian(const double* x, double* h) {
  h[0] = 1200 * x[0] * x[0] - 400 * x[1] + 2;
  h[1] = -400 * x[0];
  h[2] = 200;
}

}  // namespace

TEST(DerivativeCheck, AcceptsExactDerivatives) {
  const double x[2] = {-1.2, 1};
  EXPECT_LT(kc::gradient_error(2, rosenbrock, rosenbrock_gradient, x).error, 1e-7);
  EXPECT_LT(kc::hessian_error(2, rosenbrock_gradient, rosenbrock_hessian, x).error, 1e-7);
}

TEST(DerivativeCheck, CatchesAPerturbedEntryAndNamesIt) {
  const double x[2] = {-1.2, 1};
  const kc::Vector bad_gradient = [](const double* p, double* g) {
    rosenbrock_gradient(p, g);
    g[1] *= 1.001;
  };
  const kc::Mismatch mg = kc::gradient_error(2, rosenbrock, bad_gradient, x);
  EXPECT_GT(mg.error, 1e-4);
  EXPECT_EQ(mg.index, 1);

  const kc::Vector bad_hessian = [](const double* p, double* h) {
    rosenbrock_hessian(p, h);
    h[1] += 0.01;
  };
  const kc::Mismatch mh = kc::hessian_error(2, rosenbrock_gradient, bad_hessian, x);
  EXPECT_GT(mh.error, 1e-5);
  EXPECT_EQ(mh.index, 1);
}

TEST(DerivativeCheck, TreatsNaNAsAMismatch) {
  const double x[2] = {0.5, 0.5};
  const kc::Vector nan_gradient = [](const double* /*p*/, double* g) {
    g[0] = NAN;
    g[1] = 0;
  };
  EXPECT_TRUE(std::isnan(kc::gradient_error(2, rosenbrock, nan_gradient, x).error));
}

TEST(DerivativeCheck, NearbyPointIsReproducibleAndClose) {
  const std::vector<double> x0 = {1, -200, 0};
  const auto a = kc::nearby_point(x0, 7);
  EXPECT_EQ(a, kc::nearby_point(x0, 7));
  EXPECT_NE(a, kc::nearby_point(x0, 8));
  EXPECT_LE(std::fabs(a[1] - x0[1]), 0.05 * 200);
  EXPECT_LE(std::fabs(a[2]), 0.05);
}
