// Nonsmooth problems 17 to 24: starting points and values, the stored data, the piece
// choice at ties, signed zeros and NaN, and the derivatives against central differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "check/derivative_check.hpp"
#include "support/harness.hpp"
#include "test19/hilbert_rows.hpp"
#include "test19/tables/xrin.hpp"

namespace {

using kbtest::nonsmooth_gradient;
using kbtest::nonsmooth_hessian;
using kbtest::nonsmooth_value;
using kbtest::packed_at;
using kbtest::setup_nonsmooth;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<double> set_up(int iprob, int n) {
  const kbtest::NonsmoothSetup s = setup_nonsmooth(iprob, n);
  EXPECT_EQ(s.ierr, 0) << "problem " << iprob << ", n = " << n;
  return s.x;
}

// 1-based D(i, j) of problem 21 in the data area.
double d21(int i, int j) { return empr19[48 * (j - 1) + (i - 1)]; }

// Entries of g other than the 1-based `except` are all zero.
void expect_zero_except(const std::vector<double>& v, size_t except) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (i + 1 != except) {
      EXPECT_EQ(v[i], 0.0) << "entry " << i + 1;
    }
  }
}

}  // namespace

TEST(Nonsmooth17To24Start, ValuesAndPointsAtTheStart) {
  std::vector<double> x = set_up(17, 10);
  EXPECT_EQ(x, std::vector<double>(10, -0.1));
  EXPECT_NEAR(nonsmooth_value(17, 10, x.data()), 189.0, 0.1);
  EXPECT_NEAR(nonsmooth_gradient(17, 10, x.data())[0], -115.1, 0.05);  // piece F2

  x = set_up(19, 22);
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[9], 10.0);
  EXPECT_EQ(x[10], -11.0);
  EXPECT_EQ(x[19], -20.0);
  EXPECT_EQ(x[20], 0.0);
  EXPECT_EQ(x[21], 0.0);
  EXPECT_EQ(nonsmooth_value(19, 22, x.data()), 400.0);
  EXPECT_EQ(set_up(20, 20), std::vector<double>(x.begin(), x.begin() + 20));
  EXPECT_EQ(nonsmooth_value(20, 20, x.data()), 20.0);

  x = set_up(21, 48);
  EXPECT_EQ(x, std::vector<double>(48, 0.0));
  EXPECT_EQ(nonsmooth_value(21, 48, x.data()), -464816.0);

  x = set_up(22, 52);
  EXPECT_EQ(x[0], -24.5);
  EXPECT_EQ(x[49], 24.5);
  EXPECT_EQ(x[50], 25.5);
  EXPECT_EQ(x[51], 26.5);
  EXPECT_EQ(nonsmooth_value(22, 52, x.data()), 1225.0);

  x = set_up(23, 30);
  EXPECT_EQ(x, std::vector<double>(30, 1.0));
  double harmonic = 0;
  for (int j = 1; j <= 30; ++j) harmonic += 1.0 / j;
  EXPECT_EQ(nonsmooth_value(23, 30, x.data()), harmonic);
  EXPECT_EQ(set_up(24, 30), x);
  EXPECT_NEAR(nonsmooth_value(24, 30, x.data()), 41.093, 0.001);
}

TEST(Nonsmooth17To24Start, ChainStartAndDataOfProblem18) {
  const std::vector<double> x = set_up(18, 12);
  const double qx[8] = {0, 0, 2, 3, 4, 5, 6, 5.5};  // P_0, Q_1..Q_6, end point
  const double qy[8] = {0, 2, 3, -1, -0.5, 2, 2, -1};
  double px = 0, py = 0;
  for (int i = 1; i <= 6; ++i) {
    px = (qx[i] + px + qx[i + 1]) / 3;
    py = (qy[i] + py + qy[i + 1]) / 3;
    EXPECT_EQ(x[static_cast<size_t>(i - 1)], px) << "x(" << i << ")";
    EXPECT_EQ(x[static_cast<size_t>(i + 5)], py) << "x(" << i + 6 << ")";
  }
  EXPECT_EQ(x[0], 2.0 / 3);
  EXPECT_EQ(x[6], 5.0 / 3);
  EXPECT_NEAR(x[8], -5.0 / 54, 1e-16);
  EXPECT_NEAR(x[11], 605.0 / 729, 1e-15);
  EXPECT_NEAR(nonsmooth_value(18, 12, x.data()), 25.733, 0.001);

  const double data[23] = {0, 2, 3, 4, 5, 6, 2, 3, -1, -0.5, 2, 2, 2, 1, 1, 5, 1, 1, 1, 1, 2, 3, 2};
  for (int k = 0; k < 23; ++k) EXPECT_EQ(empr19[k], data[k]) << "element " << k + 1;
}

TEST(Nonsmooth21Data, TableMatchesThePublishedChecks) {
  namespace ns = kinkbench::nonsmooth;
  const double first[7] = {273, 1272, 744, 1138, 1972, 1580, 1878};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(ns::xrin[k], first[k]);
  const double last[8] = {2435, 1461, 229, 2238, 1560, 2010, 1353, 1157};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(ns::xrin[1120 + k], last[k]);
  for (int k = 0; k < ns::kXrinTriangle; ++k) {
    EXPECT_TRUE(ns::xrin[k] >= 83 && ns::xrin[k] <= 2734 && ns::xrin[k] == std::floor(ns::xrin[k]))
        << "entry " << k + 1 << " = " << ns::xrin[k];
  }
  double sum_a = 0, sum_c = 0;
  for (int j = 0; j < 48; ++j) {
    sum_a += ns::xrin[ns::kXrinA + j];
    sum_c += ns::xrin[ns::kXrinC + j];
  }
  EXPECT_EQ(sum_a, 2426.0);
  EXPECT_EQ(sum_c, 2426.0);
  for (int k = 1224; k < ns::kXrinSize; ++k) ASSERT_EQ(ns::xrin[k], 0.0) << "entry " << k + 1;
}

TEST(Nonsmooth21Data, SetUpStoresASymmetricMatrixAndTheWeights) {
  set_up(21, 48);
  const double first[7] = {273, 1272, 744, 1138, 1972, 1580, 1878};
  for (int i = 2; i <= 8; ++i) EXPECT_EQ(d21(i, 1), first[i - 2]);
  EXPECT_EQ(d21(48, 47), 1157.0);
  EXPECT_EQ(d21(46, 45), 229.0);
  for (int i = 1; i <= 48; ++i) {
    EXPECT_EQ(d21(i, i), 1e5);
    for (int j = 1; j < i; ++j) ASSERT_EQ(d21(i, j), d21(j, i)) << i << ", " << j;
  }
  EXPECT_EQ(empr19[2304], 61.0);  // a(1)
  EXPECT_EQ(empr19[2351], 67.0);  // a(48)
  EXPECT_EQ(empr19[2352], 22.0);  // c(1)
  EXPECT_EQ(empr19[2399], 93.0);  // c(48)
}

TEST(Nonsmooth21Data, MoreThan48PointsIsRejected) {
  const kbtest::NonsmoothSetup s = setup_nonsmooth(21, 49);
  EXPECT_EQ(s.ierr, 1);
  const std::vector<double> x(49, 0.0);
  EXPECT_EQ(nonsmooth_value(21, 49, x.data()), 0.0);
  EXPECT_EQ(nonsmooth_gradient(21, 49, x.data()), std::vector<double>(49, 0.0));
}

TEST(Nonsmooth17To24Pieces, Problem17NaNFallsToF3AndExtraComponentsStayZero) {
  std::vector<double> x = set_up(17, 12);
  x[0] = kNaN;
  const std::vector<double> g = nonsmooth_gradient(17, 12, x.data());
  EXPECT_TRUE(std::isnan(g[0]));
  // Only F3 leaves components away from x(1) finite.
  EXPECT_DOUBLE_EQ(g[9], 200 * (-0.1 - 0.01) - 2 * 1.1);
  EXPECT_EQ(packed_at(nonsmooth_hessian(17, 12, x.data()), 10, 10), 202.0);

  const std::vector<double> points[3] = {
      {-0.8, 0.6, 0.35, 0.1, 0, 0, 0, 0, 0, 0, 7, -3},  // F1 = 10.63 > F2 = 9.00 > F3
      std::vector<double>(12, -0.1),                    // F2
      {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 7, -3}};           // F3
  for (const std::vector<double>& p : points) {
    const std::vector<double> gp = nonsmooth_gradient(17, 12, p.data());
    EXPECT_EQ(gp[10], 0.0);
    EXPECT_EQ(gp[11], 0.0);
    const std::vector<double> h = nonsmooth_hessian(17, 12, p.data());
    for (int j = 1; j <= 12; ++j) {
      for (int i = std::max(j, 11); i <= 12; ++i) EXPECT_EQ(packed_at(h, i, j), 0.0);
    }
  }
}

// The pieces of problem 17 square a term before scaling it (0.001·R², 100·(...)², 1200·x²,
// 12·x(1)², 0.008·x(i)²); scaling first rounds differently. References follow the
// definitions term by term, at points where one piece leads by a wide margin.
double f1_17(const std::vector<double>& x) {
  double sum = 0, r = 0;
  for (size_t i = 0; i < 10; ++i) sum += (x[i] - 1) * (x[i] - 1);
  for (size_t i = 0; i < 10; ++i) r += x[i] * x[i];
  r -= 0.25;
  return sum + 0.001 * (r * r);
}

double f3_17(const std::vector<double>& x) {
  double chain = 0, ones = 0;
  for (size_t i = 0; i < 9; ++i) {
    const double d = x[i + 1] - x[i] * x[i];
    chain += 100 * (d * d);
  }
  for (size_t i = 1; i < 10; ++i) ones += (1 - x[i]) * (1 - x[i]);
  return chain + ones;
}

double f2_17_approx(const std::vector<double>& x) {
  double sum = 0;
  for (int m = 1; m <= 29; ++m) {
    const double t = m / 29.0;
    double s = 0, d = 0;
    for (int j = 1; j <= 10; ++j) s += x[static_cast<size_t>(j - 1)] * std::pow(t, j - 1);
    for (int j = 2; j <= 10; ++j) d += (j - 1) * x[static_cast<size_t>(j - 1)] * std::pow(t, j - 2);
    sum += (d - s * s - 1) * (d - s * s - 1);
  }
  const double q = x[1] - x[0] * x[0] - 1;
  return sum + x[0] * x[0] + q * q;
}

TEST(Nonsmooth17To24Pieces, Problem17SquaresBeforeScaling) {
  set_up(17, 10);
  const std::vector<double> f1_base = {-0.8, 0.6, 0.35, 0.1, 0, 0, 0, 0, 0, 0};
  const std::vector<double> f3_base = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
  // F1's small terms sit far below its ulp, so it takes many points for the rounding to
  // show.
  for (unsigned seed = 1; seed <= 2000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::vector<double> x = kinkbench::check::nearby_point(f1_base, seed, 0.003);
    ASSERT_GT(f1_17(x), 1.1 * std::max(f2_17_approx(x), f3_17(x)));
    EXPECT_EQ(nonsmooth_value(17, 10, x.data()), f1_17(x));
    double r = 0;
    for (double xi : x) r += xi * xi;
    r -= 0.25;
    const std::vector<double> h = nonsmooth_hessian(17, 10, x.data());
    for (int i = 1; i <= 10; ++i) {
      const double xi = x[static_cast<size_t>(i - 1)];
      EXPECT_EQ(packed_at(h, i, i), 0.008 * (xi * xi) + 2 + 0.004 * r)
          << "H(" << i << ", " << i << ")";
    }
  }
  for (unsigned seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<double> x = kinkbench::check::nearby_point(f3_base, seed, 0.05);
    ASSERT_GT(f3_17(x), 1.1 * std::max(f1_17(x), f2_17_approx(x)));
    EXPECT_EQ(nonsmooth_value(17, 10, x.data()), f3_17(x));
    const std::vector<double> h = nonsmooth_hessian(17, 10, x.data());
    EXPECT_EQ(packed_at(h, 1, 1), 1200 * (x[0] * x[0]) - 400 * x[1]);
    for (int i = 2; i <= 9; ++i) {
      const double xi = x[static_cast<size_t>(i - 1)];
      EXPECT_EQ(packed_at(h, i, i), 1200 * (xi * xi) - 400 * x[static_cast<size_t>(i)] + 202)
          << "H(" << i << ", " << i << ")";
    }

    // Piece F2 with x(2..10) = 0: s(m) = x(1) and r(m) = -x(1)² - 1 at every sample.
    const double x1 = 0.25 + 0.0001 * seed;
    x.assign(10, 0.0);
    x[0] = x1;
    ASSERT_GT(f2_17_approx(x), 1.1 * std::max(f1_17(x), f3_17(x)));
    const double dr1 = -2.0 * x1;
    const double rm = 0.0 - x1 * x1 - 1.0;
    double h11 = 0;
    for (int m = 1; m <= 29; ++m) h11 += 2.0 * (dr1 * dr1 - 2.0 * rm * 1.0);
    h11 = h11 + 12 * (x1 * x1) - 4 * x[1] + 6;
    EXPECT_EQ(packed_at(nonsmooth_hessian(17, 10, x.data()), 1, 1), h11);
  }
}

TEST(Nonsmooth17To24Pieces, Problem18CoincidentPointsGiveNaN) {
  std::vector<double> x = set_up(18, 12);
  x[0] = 0;  // P_1 on the origin
  x[6] = 0;
  EXPECT_TRUE(std::isfinite(nonsmooth_value(18, 12, x.data())));
  std::vector<double> g = nonsmooth_gradient(18, 12, x.data());
  EXPECT_TRUE(std::isnan(g[0]));
  EXPECT_TRUE(std::isnan(g[6]));
  EXPECT_TRUE(std::isfinite(g[3]));

  x = set_up(18, 12);
  x[2] = x[1];  // P_3 on P_2: the chain term feeds both points
  x[8] = x[7];
  g = nonsmooth_gradient(18, 12, x.data());
  EXPECT_TRUE(std::isnan(g[1]) && std::isnan(g[2]) && std::isnan(g[7]) && std::isnan(g[8]));
  EXPECT_TRUE(std::isfinite(g[0]) && std::isfinite(g[5]));
  EXPECT_TRUE(std::isnan(packed_at(nonsmooth_hessian(18, 12, x.data()), 3, 2)));
}

TEST(Nonsmooth17To24Pieces, LargestSquareAndAbsoluteValue) {
  std::vector<double> x = set_up(19, 20);
  std::vector<double> g = nonsmooth_gradient(19, 20, x.data());
  EXPECT_EQ(g[19], -40.0);
  expect_zero_except(g, 20);
  std::vector<double> h = nonsmooth_hessian(19, 20, x.data());
  EXPECT_EQ(h[209], 2.0);
  expect_zero_except(h, 210);

  x[2] = 30;  // |x(3)| = |x(7)| largest: the earlier one
  x[6] = -30;
  g = nonsmooth_gradient(19, 20, x.data());
  EXPECT_EQ(g[2], 60.0);
  expect_zero_except(g, 3);
  EXPECT_EQ(packed_at(nonsmooth_hessian(19, 20, x.data()), 3, 3), 2.0);
  g = nonsmooth_gradient(20, 20, x.data());
  EXPECT_EQ(g[2], 1.0);
  expect_zero_except(g, 3);

  x = set_up(19, 20);
  x[4] = kNaN;  // a NaN term is passed over
  EXPECT_EQ(nonsmooth_value(19, 20, x.data()), 400.0);
  EXPECT_EQ(nonsmooth_gradient(19, 20, x.data())[19], -40.0);

  x.assign(20, 0.0);
  g = nonsmooth_gradient(20, 20, x.data());
  EXPECT_EQ(g[0], 1.0);
  expect_zero_except(g, 1);
  x.assign(20, -0.0);
  EXPECT_EQ(nonsmooth_gradient(20, 20, x.data())[0], -1.0);
  EXPECT_EQ(nonsmooth_gradient(20, 20, set_up(20, 20).data())[19], -1.0);
  EXPECT_EQ(nonsmooth_hessian(20, 20, x.data()), std::vector<double>(210, 0.0));
}

TEST(Nonsmooth17To24Pieces, Problem21RowMinimaAtZeroAndBeyondTheStartValue) {
  std::vector<double> x = set_up(21, 48);
  std::vector<double> expected(48);
  for (int i = 1; i <= 48; ++i) expected[static_cast<size_t>(i - 1)] = -empr19[2352 + i - 1];
  for (int j = 1; j <= 48; ++j) {
    int k = j == 1 ? 2 : 1;
    for (int i = 1; i <= 48; ++i) {
      if (i != j && d21(j, i) < d21(j, k)) k = i;
    }
    expected[static_cast<size_t>(k - 1)] += empr19[2304 + j - 1];
  }
  EXPECT_EQ(nonsmooth_gradient(21, 48, x.data()), expected);

  // Every term stays above 1e60: the minima are the constant start value, so only the
  // linear part remains in the gradient and the value stays finite.
  x.assign(48, -2e60);
  const std::vector<double> g = nonsmooth_gradient(21, 48, x.data());
  for (int i = 0; i < 48; ++i) EXPECT_EQ(g[static_cast<size_t>(i)], -empr19[2352 + i]);
  EXPECT_TRUE(std::isfinite(nonsmooth_value(21, 48, x.data())));
  EXPECT_EQ(nonsmooth_hessian(21, 48, x.data()), std::vector<double>(48 * 49 / 2, 0.0));
}

TEST(Nonsmooth17To24Pieces, Problem22TiesAndNoMaximum) {
  std::vector<double> x = set_up(22, 50);
  std::vector<double> g = nonsmooth_gradient(22, 50, x.data());
  EXPECT_EQ(g[49], 49.0);
  for (int i = 0; i < 49; ++i) EXPECT_EQ(g[static_cast<size_t>(i)], -1.0);

  x[2] = 24.5;  // ties x(50): the earlier index takes the weight
  g = nonsmooth_gradient(22, 50, x.data());
  EXPECT_EQ(g[2], 49.0);
  EXPECT_EQ(g[49], -1.0);

  x.assign(50, -1e61);
  g = nonsmooth_gradient(22, 50, x.data());
  EXPECT_EQ(g, std::vector<double>(50, -1.0));
  EXPECT_DOUBLE_EQ(nonsmooth_value(22, 50, x.data()), 50 * -1e60 - 50 * -1e61);
}

// Each scan has its own NaN rule, and none of them is "the lowest index attaining the
// maximum": a refactor onto one shared helper would silently change these choices.
TEST(Nonsmooth17To24Pieces, NaNFollowsEachScansOwnRule) {
  // Problem 17: F1 = F3 = inf and F2 = inf - inf. A comparison with NaN sends the piece
  // to F3, whose g(9) is -inf where F1's would be +inf.
  std::vector<double> x(10, 0.1);
  x[9] = std::numeric_limits<double>::infinity();
  EXPECT_EQ(nonsmooth_value(17, 10, x.data()), x[9]);
  EXPECT_EQ(nonsmooth_gradient(17, 10, x.data())[8], -x[9]);
  EXPECT_EQ(packed_at(nonsmooth_hessian(17, 10, x.data()), 10, 10), 202.0);

  // Problems 19 and 20: a NaN first term keeps index 1 until a later term beats the
  // value that replaced it; x(2) is never beaten, so the choice stays at 1.
  x = set_up(19, 20);
  x[0] = kNaN;
  x[1] = 30;
  EXPECT_EQ(nonsmooth_value(19, 20, x.data()), 900.0);
  std::vector<double> g = nonsmooth_gradient(19, 20, x.data());
  EXPECT_TRUE(std::isnan(g[0]));
  expect_zero_except(g, 1);
  EXPECT_EQ(nonsmooth_hessian(19, 20, x.data())[0], 2.0);
  EXPECT_EQ(nonsmooth_value(20, 20, x.data()), 30.0);
  g = nonsmooth_gradient(20, 20, x.data());
  EXPECT_EQ(g[0], 1.0);  // the sign bit of the quiet NaN is clear
  expect_zero_except(g, 1);

  // Problem 21: a NaN term replaces the running minimum, so with x(48) = NaN every row
  // ends on column 48.
  x = set_up(21, 48);
  x[47] = kNaN;
  std::vector<double> expected(48);
  for (int i = 0; i < 48; ++i) expected[static_cast<size_t>(i)] = -empr19[2352 + i];
  for (int j = 0; j < 48; ++j) expected[47] += empr19[2304 + j];
  EXPECT_EQ(nonsmooth_gradient(21, 48, x.data()), expected);

  // Problem 22: the scan starts from -1e60 and passes over NaN.
  x = set_up(22, 50);
  x[49] = kNaN;
  g = nonsmooth_gradient(22, 50, x.data());
  EXPECT_EQ(g[48], 49.0);
  EXPECT_EQ(g[49], -1.0);

  // Problem 23: a NaN row is taken, and so is every row after it: the last row wins.
  x.assign(30, 1.0);
  x[0] = kNaN;
  g = nonsmooth_gradient(23, 30, x.data());
  for (int j = 1; j <= 30; ++j) EXPECT_EQ(std::fabs(g[static_cast<size_t>(j - 1)]), 1.0 / (29 + j));
}

TEST(Nonsmooth17To24Pieces, HilbertRowGradientsAndSigns) {
  std::vector<double> x = set_up(23, 30);
  std::vector<double> g = nonsmooth_gradient(23, 30, x.data());
  for (int j = 1; j <= 30; ++j) EXPECT_EQ(g[static_cast<size_t>(j - 1)], 1.0 / j);
  x.assign(30, -1.0);
  g = nonsmooth_gradient(23, 30, x.data());
  for (int j = 1; j <= 30; ++j) EXPECT_EQ(g[static_cast<size_t>(j - 1)], -1.0 / j);
  // All rows zero: the first row is taken, and a zero sum counts as positive.
  x.assign(30, 0.0);
  g = nonsmooth_gradient(23, 30, x.data());
  for (int j = 1; j <= 30; ++j) EXPECT_EQ(g[static_cast<size_t>(j - 1)], 1.0 / j);

  x.assign(30, 1.0);
  g = nonsmooth_gradient(24, 30, x.data());
  for (int j = 1; j <= 30; ++j) {
    double sum = 0;
    for (int i = 1; i <= 30; ++i) sum += 1.0 / (i + j - 1);
    EXPECT_EQ(g[static_cast<size_t>(j - 1)], sum);
  }
  x.assign(30, 0.0);
  EXPECT_EQ(nonsmooth_gradient(24, 30, x.data()), g);
  EXPECT_EQ(nonsmooth_hessian(24, 30, x.data()), std::vector<double>(465, 0.0));
  EXPECT_EQ(nonsmooth_hessian(23, 30, x.data()), std::vector<double>(465, 0.0));
}

// Central differences with the checker's step (about 6e-6 relative) at seeded points
// where the active piece cannot change within the step. Smooth pieces: 1e-7 relative on
// the gradient and 1e-6 on the Hessian. Piecewise-linear problems: 1e-5, since their
// differences are exact up to the rounding of f (f ~ 5e5 for problem 21).
struct DerivativeCase {
  int iprob;
  int n;
  std::vector<double> x0;  // empty: the starting point
  double spread;
  bool hessian;
};

void PrintTo(const DerivativeCase& c, std::ostream* os) {
  *os << "problem " << c.iprob << ", n = " << c.n << ", spread " << c.spread;
}

class Nonsmooth17To24Derivatives : public ::testing::TestWithParam<DerivativeCase> {};

TEST_P(Nonsmooth17To24Derivatives, MatchCentralDifferences) {
  const DerivativeCase& c = GetParam();
  const std::vector<double> start = set_up(c.iprob, c.n);
  const std::vector<double>& x0 = c.x0.empty() ? start : c.x0;
  double worst_g = 0, worst_h = 0;
  for (unsigned seed = 1; seed <= 5; ++seed) {
    const std::vector<double> x = kinkbench::check::nearby_point(x0, seed, c.spread);
    if (c.iprob == 24) {
      for (int i = 1; i <= c.n; ++i) {
        ASSERT_GT(std::fabs(kinkbench::nonsmooth::hilbert_row(c.n, x.data(), i)), 1e-3);
      }
    }
    const auto mg = kbtest::nonsmooth_gradient_error(c.iprob, c.n, x.data());
    worst_g = std::max(worst_g, mg.error);
    EXPECT_LT(mg.error, c.hessian ? 1e-7 : 1e-5) << "seed " << seed << ", index " << mg.index;
    if (c.hessian) {
      const auto mh = kbtest::nonsmooth_hessian_error(c.iprob, c.n, x.data());
      worst_h = std::max(worst_h, mh.error);
      EXPECT_LT(mh.error, 1e-6) << "seed " << seed << ", index " << mh.index;
    }
  }
  RecordProperty("worst_gradient_error", std::to_string(worst_g));
  RecordProperty("worst_hessian_error", std::to_string(worst_h));
  std::printf("problem %d: worst gradient error %.3g, Hessian %.3g\n", c.iprob, worst_g, worst_h);
}

std::vector<double> alternating(int n) {
  std::vector<double> x(static_cast<size_t>(n));
  for (int j = 1; j <= n; ++j) x[static_cast<size_t>(j - 1)] = std::sin(1.7 * j);
  return x;
}

INSTANTIATE_TEST_SUITE_P(
    Problems, Nonsmooth17To24Derivatives,
    ::testing::Values(
        DerivativeCase{17, 10, {-0.8, 0.6, 0.35, 0.1, 0, 0, 0, 0, 0, 0}, 0.003, true},
        DerivativeCase{17, 10, {}, 0.05, true},
        DerivativeCase{17, 10, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, 0.05, true},
        DerivativeCase{18, 12, {}, 0.05, true}, DerivativeCase{19, 20, {}, 0.01, true},
        DerivativeCase{20, 20, {}, 0.01, false}, DerivativeCase{21, 48, {}, 0.05, false},
        DerivativeCase{22, 50, {}, 0.01, false}, DerivativeCase{23, 30, {}, 0.05, false},
        DerivativeCase{24, 30, {}, 0.05, false},
        DerivativeCase{24, 30, alternating(30), 0.01, false}),
    [](const ::testing::TestParamInfo<DerivativeCase>& param_info) {
      return "Problem" + std::to_string(param_info.param.iprob) + "_" +
             std::to_string(param_info.index);
    });
