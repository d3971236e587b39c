// Minimax problems 7 to 12: set-up and data bits, values, which outputs each routine
// writes, k outside 1..m, and derivatives against central differences.
#include <gtest/gtest.h>
#include <math.h>  // sincos, the joint evaluation the set-up of problem 7 must match

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

std::vector<double> data_area() { return std::vector<double>(empr06, empr06 + 123); }

// empr06(i), 1-based.
double e06(int i) { return empr06[i - 1]; }

bool is_sentinel(double v) { return bits(v) == bits(kSentinel); }

struct Facts {
  int iprob;
  int min_n;
  int m;
  int x_written;  // leading components of x the set-up writes; 0 means all n
  int g_written;
  int h_written;  // leading packed positions the Hessian writes
};

constexpr Facts kFacts[] = {
    {7, 3, 21, 0, 3, 6},   {8, 3, 15, 3, 3, 6},   {9, 4, 11, 4, 4, 10},
    {10, 4, 20, 4, 4, 10}, {11, 4, 21, 0, 4, 10}, {12, 4, 21, 4, 4, 10},
};

// ---------------------------------------------------------------------------------------
// Set-up: dimension checks, the outputs and which components of x are written.

TEST(Minimax0712Setup, RejectsSmallDimensionOrCapacityAndLeavesEverythingAlone) {
  for (const Facts& f : kFacts) {
    SCOPED_TRACE(f.iprob);
    for (const auto& [n, cap] : {std::pair{f.min_n - 1, f.m}, std::pair{f.min_n, f.m - 1}}) {
      for (int i = 0; i < 123; ++i) empr06[i] = 0.25 * i;
      const std::vector<double> before = data_area();
      const kbtest::MinimaxSetup s = kbtest::setup_minimax(f.iprob, n, cap);
      EXPECT_EQ(s.ierr, 1);
      EXPECT_EQ(s.m, cap);
      EXPECT_EQ(s.itype, -1);
      EXPECT_EQ(s.fmin, -1e60);
      EXPECT_EQ(s.stepmax, 1000);
      for (double xi : s.x) EXPECT_TRUE(is_sentinel(xi));
      EXPECT_EQ(data_area(), before);
    }
  }
}

TEST(Minimax0712Setup, WritesMItypeAndOnlyTheStartingComponentsItDefines) {
  for (const Facts& f : kFacts) {
    SCOPED_TRACE(f.iprob);
    const int n = f.min_n + 3;
    const kbtest::MinimaxSetup s = kbtest::setup_minimax(f.iprob, n, f.m);
    ASSERT_EQ(s.ierr, 0);
    EXPECT_EQ(s.m, f.m);
    EXPECT_EQ(s.itype, 0);
    EXPECT_EQ(s.stepmax, 1000);
    EXPECT_EQ(s.fmin, -1e60);
    const int written = f.x_written == 0 ? n : f.x_written;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(is_sentinel(s.x[static_cast<size_t>(i)]), i >= written) << "x(" << i + 1 << ")";
    }
  }
  const auto start = [](int iprob) { return kbtest::setup_minimax(iprob, 4).x; };
  EXPECT_EQ(start(7), (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(start(9), (std::vector<double>{0.25, 0.39, 0.415, 0.39}));
  EXPECT_EQ(start(10), (std::vector<double>{25, 5, -5, -1}));
  EXPECT_EQ(start(11), (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(start(12), (std::vector<double>{1, 1, -3, -1}));
  EXPECT_EQ(start(8), (std::vector<double>{1, 1, 1, kSentinel}));
}

// ---------------------------------------------------------------------------------------
// The exact bits of the data area.

TEST(Minimax0712Data, Problem7PointsAndValuesMatchTheFormulaBitForBit) {
  ASSERT_EQ(kbtest::setup_minimax(7, 3).ierr, 0);
  const double over52 = 0.019230769230769232;
  const double over65 = 0.015384615384615385;
  ASSERT_EQ(bits(over52), bits(1.0 / 52));
  ASSERT_EQ(bits(over65), bits(1.0 / 65));
  for (int j = 1; j <= 21; ++j) {
    SCOPED_TRACE(j);
    const double t = 0.5 * (j - 1);  // exact: multiples of 0.5
    EXPECT_EQ(bits(e06(j)), bits(t));
    double y = 0.15 + over52 - over65 * 11.0;
    if (j > 1) {
      double s = 0;
      double c = 0;
      sincos(t + t, &s, &c);
      y = 0.15 * std::exp(-t) + over52 * std::exp(-(5 * t)) -
          over65 * std::exp(-(t + t)) * (3 * s + 11 * c);
    }
    EXPECT_EQ(bits(e06(21 + j)), bits(y));
  }
  EXPECT_EQ(bits(e06(21)), bits(10.0));
  EXPECT_EQ(bits(e06(22)), bits(0.0));  // y_1 is +0, not merely small
  EXPECT_NEAR(e06(23), 4.46e-2, 0.005e-2);
  EXPECT_NEAR(e06(24), 5.92e-2, 0.005e-2);
  EXPECT_NEAR(e06(42), 6.81e-6, 0.005e-6);
}

TEST(Minimax0712Data, Problem11PointsAreTheDecimalsAndRootsComeFromThem) {
  ASSERT_EQ(kbtest::setup_minimax(11, 4).ierr, 0);
  for (int k = 1; k <= 21; ++k) {
    SCOPED_TRACE(k);
    // The k-th decimal, 0.2500 + 0.0375 (k - 1), written out and read back.
    const int tenthousandths = 2500 + 375 * (k - 1);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%04d", tenthousandths / 10000, tenthousandths % 10000);
    const double t = std::strtod(text, nullptr);
    EXPECT_EQ(bits(e06(k)), bits(t)) << text;
    EXPECT_EQ(bits(e06(21 + k)), bits(std::sqrt(t)));
  }
  EXPECT_EQ(bits(e06(22)), bits(0.5));
  EXPECT_EQ(bits(e06(42)), bits(1.0));
}

TEST(Minimax0712Data, Problem12PointsAndReciprocalsFollowTheStatedRounding) {
  ASSERT_EQ(kbtest::setup_minimax(12, 4).ierr, 0);
  for (int k = 1; k <= 21; ++k) {
    SCOPED_TRACE(k);
    const double q = static_cast<double>(k - 1) / 20;
    const double t = q - 0.5;
    const double sum = 1 + t;
    EXPECT_EQ(bits(e06(k)), bits(t));
    EXPECT_EQ(bits(e06(21 + k)), bits(1 / sum));
  }
  // The rounded values, as printed with 17 significant digits.
  EXPECT_EQ(bits(e06(8)), bits(-0.15000000000000002));
  EXPECT_EQ(bits(e06(12)), bits(0.050000000000000044));
  EXPECT_EQ(bits(e06(1)), bits(-0.5));
  EXPECT_EQ(bits(e06(21)), bits(0.5));
  EXPECT_EQ(bits(e06(22)), bits(2.0));
  EXPECT_EQ(bits(e06(42)), bits(2.0 / 3.0));
}

TEST(Minimax0712Data, Problem9KeepsTheThreeDigitDecimals) {
  ASSERT_EQ(kbtest::setup_minimax(9, 4).ierr, 0);
  EXPECT_EQ(e06(1), 0.1957);
  EXPECT_EQ(e06(11), 0.0246);
  EXPECT_EQ(e06(12), 4.0);
  EXPECT_EQ(e06(17), 0.167);
  EXPECT_EQ(e06(20), 0.0833);
  EXPECT_EQ(e06(21), 0.0714);
  EXPECT_EQ(e06(22), 0.0625);
}

TEST(Minimax0712Data, Problem8AfterProblem7OverwritesOnlyItsOwnStretch) {
  for (int i = 0; i < 123; ++i) empr06[i] = -1.0 - i;
  ASSERT_EQ(kbtest::setup_minimax(7, 3).ierr, 0);
  const std::vector<double> after7 = data_area();
  for (int i = 43; i <= 123; ++i) EXPECT_EQ(e06(i), -i) << i;  // 7 writes 1..42 only
  ASSERT_EQ(kbtest::setup_minimax(8, 3).ierr, 0);
  const double y[15] = {0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39,
                        0.37, 0.58, 0.73, 0.96, 1.34, 2.1,  4.39};
  for (int k = 1; k <= 15; ++k) EXPECT_EQ(bits(e06(k)), bits(y[k - 1])) << k;
  for (int i = 16; i <= 123; ++i) {
    EXPECT_EQ(bits(e06(i)), bits(after7[static_cast<size_t>(i - 1)])) << i;
  }
}

// ---------------------------------------------------------------------------------------
// Values.

TEST(Minimax0712Values, KnownValuesAtTheStatedPoints) {
  const double ones[4] = {1, 1, 1, 1};
  ASSERT_EQ(kbtest::setup_minimax(8, 3).ierr, 0);
  EXPECT_EQ(kbtest::minimax_value(8, 3, 1, ones), 0.14 - 1 - 1.0 / 16);
  EXPECT_EQ(kbtest::minimax_value(8, 3, 8, ones), 0.39 - 1 - 8.0 / 16);
  EXPECT_EQ(kbtest::minimax_value(8, 3, 15, ones), 4.39 - 1 - 15.0 / 2);

  const kbtest::MinimaxSetup s9 = kbtest::setup_minimax(9, 4);
  EXPECT_EQ(kbtest::minimax_value(9, 4, 1, s9.x.data()),
            0.1957 - 0.25 * 4 * (4 + 0.39) / (4 * (4 + 0.415) + 0.39));

  const double x10[4] = {25, 5, -5, -1};
  const double r1 = 30 - std::exp(1.0);
  const double r2 = -5 - std::sin(1.0) - std::cos(1.0);
  EXPECT_EQ(kbtest::minimax_value(10, 4, 5, x10), r1 * r1 + r2 * r2);

  ASSERT_EQ(kbtest::setup_minimax(11, 4).ierr, 0);
  EXPECT_EQ(kbtest::minimax_value(11, 4, 21, ones), -9.0);

  const kbtest::MinimaxSetup s12 = kbtest::setup_minimax(12, 4);
  EXPECT_EQ(kbtest::minimax_value(12, 4, 11, s12.x.data()), 1.0);
}

// The stated groupings change the last bits; these points make the difference visible.
TEST(Minimax0712Values, FollowTheStatedOrderOfOperations) {
  ASSERT_EQ(kbtest::setup_minimax(7, 3).ierr, 0);
  const double x7[3] = {0.3, 0.7, 1.3};
  for (int k = 1; k <= 21; ++k) {
    const double t = e06(k);
    const double f = x7[2] / x7[1] * std::exp(-x7[0] * t) * std::sin(x7[1] * t) - e06(21 + k);
    EXPECT_EQ(bits(kbtest::minimax_value(7, 3, k, x7)), bits(f)) << k;
  }
  ASSERT_EQ(kbtest::setup_minimax(9, 4).ierr, 0);
  // Most u_k are powers of two, which hide a regrouping; these points expose the two
  // other numerator groupings and the expanded denominator at some k.
  int numerator_told_apart = 0;
  int denominator_told_apart = 0;
  for (const auto& x9 :
       {std::array<double, 4>{1.3, 0.7, 0.3, 0.1}, std::array<double, 4>{0.7, 1.1, 0.3, 0.3}}) {
    for (int k = 1; k <= 11; ++k) {
      const double u = e06(11 + k);
      const double num = (u * x9[0]) * (u + x9[1]);
      const double den = (u + x9[2]) * u + x9[3];
      const double f = e06(k) - num / den;
      EXPECT_EQ(bits(kbtest::minimax_value(9, 4, k, x9.data())), bits(f)) << k;
      if (f != e06(k) - u * (x9[0] * (u + x9[1])) / den &&
          f != e06(k) - x9[0] * (u * (u + x9[1])) / den) {
        ++numerator_told_apart;
      }
      if (f != e06(k) - num / (u * u + u * x9[2] + x9[3])) ++denominator_told_apart;
    }
  }
  EXPECT_GT(numerator_told_apart, 0);
  EXPECT_GT(denominator_told_apart, 0);
  ASSERT_EQ(kbtest::setup_minimax(11, 4).ierr, 0);
  const double x11[4] = {0.3, 0.7, 1.3, 0.1};
  for (int k = 1; k <= 21; ++k) {
    const double t = e06(k);
    const double p = (x11[0] * t + x11[1]) * t + x11[2];
    EXPECT_EQ(bits(kbtest::minimax_value(11, 4, k, x11)), bits(x11[3] - p * p - e06(21 + k))) << k;
  }
}

// Problem 11's hk(1) is (-2 t^2) t t, not -2 (t^2)^2; the two round apart at some t_k.
TEST(Minimax0712Values, Problem11HessianKeepsTheStatedOrderOfOperations) {
  ASSERT_EQ(kbtest::setup_minimax(11, 4).ierr, 0);
  const double x11[4] = {0.3, 0.7, 1.3, 0.1};
  int h_told_apart = 0;
  for (int k = 1; k <= 21; ++k) {
    SCOPED_TRACE(k);
    const double t = e06(k);
    const double m2t2 = -2 * (t * t);
    const std::vector<double> h = kbtest::minimax_hessian(11, 4, k, x11);
    EXPECT_EQ(bits(h[0]), bits(m2t2 * t * t));
    EXPECT_EQ(bits(h[1]), bits(m2t2 * t));
    if (m2t2 * t * t != -2 * ((t * t) * (t * t))) ++h_told_apart;
    const double g = -2 * ((x11[0] * t + x11[1]) * t + x11[2]);
    EXPECT_EQ(kbtest::minimax_gradient(11, 4, k, x11),
              (std::vector<double>{t * t * g, t * g, g, 1}));
  }
  EXPECT_GT(h_told_apart, 0);
}

TEST(Minimax0712Values, ZeroDenominatorGivesAnIeeeResultNotATrap) {
  ASSERT_EQ(kbtest::setup_minimax(7, 3).ierr, 0);
  const double x[3] = {1, 0, 1};
  for (int k = 1; k <= 21; ++k) EXPECT_FALSE(std::isfinite(kbtest::minimax_value(7, 3, k, x)));
  ASSERT_EQ(kbtest::setup_minimax(8, 3).ierr, 0);
  const double x8[3] = {1, 1, -1};  // v x2 + w x3 = 0 at k = 8
  EXPECT_TRUE(std::isinf(kbtest::minimax_value(8, 3, 8, x8)));
}

// ---------------------------------------------------------------------------------------
// Which entries of gk and hk each routine writes, clears or leaves.

TEST(Minimax0712Outputs, WriteTheirLeadingEntriesAndLeaveTheRest) {
  for (const Facts& f : kFacts) {
    if (f.iprob == 8) continue;  // clears its triangle; covered below
    for (int n : {f.min_n, f.min_n + 3}) {
      SCOPED_TRACE(::testing::Message() << "problem " << f.iprob << " n " << n);
      const kbtest::MinimaxSetup s = kbtest::setup_minimax(f.iprob, n);
      ASSERT_EQ(s.ierr, 0);
      std::vector<double> x = s.x;
      std::fill(x.begin() + f.min_n, x.end(), 1.5);
      for (int k : {1, f.m}) {
        const std::vector<double> g = kbtest::minimax_gradient(f.iprob, n, k, x.data());
        for (int i = 0; i < n; ++i) {
          EXPECT_EQ(is_sentinel(g[static_cast<size_t>(i)]), i >= f.g_written) << "g " << i + 1;
        }
        const std::vector<double> h = kbtest::minimax_hessian(f.iprob, n, k, x.data());
        for (size_t i = 0; i < h.size(); ++i) {
          EXPECT_EQ(is_sentinel(h[i]), i >= static_cast<size_t>(f.h_written)) << "h " << i + 1;
        }
      }
    }
  }
}

TEST(Minimax0712Outputs, Problem8ClearsTheWholeTriangleForTheNPassed) {
  const double x[6] = {1, 1, 1, 1, 1, 1};
  for (int n : {3, 5, 6}) {
    SCOPED_TRACE(n);
    const std::vector<double> h = kbtest::minimax_hessian(8, n, 8, x);
    for (size_t i = 0; i < h.size(); ++i) {
      const bool set = i == 2 || i == 4 || i == 5;
      EXPECT_EQ(h[i], set ? -0.25 : 0.0) << "h " << i + 1;
    }
    const std::vector<double> g = kbtest::minimax_gradient(8, n, 8, x);
    EXPECT_EQ(g[0], -1.0);
    EXPECT_EQ(g[1], 0.25);
    EXPECT_EQ(g[2], 0.25);
    for (int i = 3; i < n; ++i) EXPECT_TRUE(is_sentinel(g[static_cast<size_t>(i)]));
  }
  // Below the minimum n the triangle has no room for the three entries: nothing is
  // cleared and nothing written.
  for (int n : {0, -4, 2}) {
    std::array<double, 6> h;
    h.fill(kSentinel);
    int k = 8;
    int iprob = 8;
    tahd06(&n, &k, x, h.data(), &iprob);
    for (double v : h) EXPECT_TRUE(is_sentinel(v)) << n;
  }
}

TEST(Minimax0712Outputs, KnownDerivativesAtTheStatedPoints) {
  const double ones[4] = {1, 1, 1, 1};
  ASSERT_EQ(kbtest::setup_minimax(7, 3).ierr, 0);
  const double x7[3] = {0.4, 1.7, -2.1};
  EXPECT_EQ(kbtest::minimax_gradient(7, 3, 1, x7), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(kbtest::minimax_hessian(7, 3, 1, x7), (std::vector<double>(6, 0.0)));
  EXPECT_DOUBLE_EQ(kbtest::minimax_hessian(7, 3, 3, ones)[4],
                   std::exp(-1.0) * (std::cos(1.0) - std::sin(1.0)));

  const double s1 = std::sin(1.0);
  const std::vector<double> h10{2, 2, 2, 0, 0, 2, 0, 0, 2 * s1, 2 * s1 * s1};
  for (const auto& x :
       {std::array<double, 4>{25, 5, -5, -1}, std::array<double, 4>{-3, 0, 7, 1e3}}) {
    EXPECT_EQ(kbtest::minimax_hessian(10, 4, 5, x.data()), h10);
  }

  ASSERT_EQ(kbtest::setup_minimax(11, 4).ierr, 0);
  EXPECT_EQ(kbtest::minimax_gradient(11, 4, 21, ones), (std::vector<double>{-6, -6, -6, 1}));
  EXPECT_EQ(kbtest::minimax_hessian(11, 4, 21, ones),
            (std::vector<double>{-2, -2, -2, -2, -2, -2, 0, 0, 0, 0}));

  const kbtest::MinimaxSetup s12 = kbtest::setup_minimax(12, 4);
  EXPECT_EQ(kbtest::minimax_gradient(12, 4, 11, s12.x.data()), (std::vector<double>{1, 1, 0, 0}));
  EXPECT_EQ(kbtest::minimax_hessian(12, 4, 11, s12.x.data()), (std::vector<double>(10, 0.0)));
}

// ---------------------------------------------------------------------------------------
// k outside 1..m: routines that look data up by k write nothing; the others evaluate.

TEST(Minimax0712OutOfRange, DataReadingRoutinesWriteNothing) {
  for (const Facts& f : kFacts) {
    if (f.iprob == 8 || f.iprob == 10) continue;
    const kbtest::MinimaxSetup s = kbtest::setup_minimax(f.iprob, f.min_n);
    ASSERT_EQ(s.ierr, 0);
    for (int k : {0, -1, INT_MIN, INT_MAX, 200, f.m + 1}) {
      SCOPED_TRACE(::testing::Message() << "problem " << f.iprob << " k " << k);
      EXPECT_TRUE(is_sentinel(kbtest::minimax_value(f.iprob, f.min_n, k, s.x.data())));
      for (double v : kbtest::minimax_gradient(f.iprob, f.min_n, k, s.x.data())) {
        EXPECT_TRUE(is_sentinel(v));
      }
      for (double v : kbtest::minimax_hessian(f.iprob, f.min_n, k, s.x.data())) {
        EXPECT_TRUE(is_sentinel(v));
      }
    }
  }
  const double ones[3] = {1, 1, 1};
  for (int k : {0, 16, -1, INT_MIN, INT_MAX}) {
    EXPECT_TRUE(is_sentinel(kbtest::minimax_value(8, 3, k, ones))) << k;
  }
}

TEST(Minimax0712OutOfRange, Problem8DerivativesTakeAnyK) {
  const double x[3] = {1, 2, 3};
  // k = 20: v = w = -4, D = -20.
  const std::vector<double> g = kbtest::minimax_gradient(8, 3, 20, x);
  EXPECT_EQ(g, (std::vector<double>{-1, 20.0 * -4 / 400, 20.0 * -4 / 400}));
  const std::vector<double> h = kbtest::minimax_hessian(8, 3, 20, x);
  const double c = -40.0 * 16 / -8000;
  EXPECT_EQ(h, (std::vector<double>{0, 0, c, 0, c, c}));
  // Large |k|: 16 - k must not overflow, and the products of k, v and w are no longer
  // exact, so their left-to-right order shows in the last bits.
  int told_apart = 0;
  for (int k : {INT_MIN, -987654321, 123456789, 379941309, 380150767, INT_MAX}) {
    SCOPED_TRACE(k);
    const double kd = k;
    const double v = 16.0 - kd;
    const double w = std::min(kd, v);
    const double d = v * x[1] + w * x[2];
    const double d3 = d * d * d;
    EXPECT_EQ(kbtest::minimax_gradient(8, 3, k, x)[1], kd * v / (d * d));
    const std::vector<double> hk = kbtest::minimax_hessian(8, 3, k, x);
    EXPECT_EQ(hk[2], -2.0 * kd * (v * v) / d3);
    EXPECT_EQ(hk[4], -2.0 * kd * v * w / d3);
    EXPECT_EQ(hk[5], -2.0 * kd * (w * w) / d3);
    if (-2.0 * kd * v * w / d3 != -2.0 * kd * (v * w) / d3) ++told_apart;
  }
  EXPECT_GT(told_apart, 0);
}

TEST(Minimax0712OutOfRange, Problem10IsDefinedForEveryK) {
  const double x[4] = {1.5, -2, 0.5, 3};
  for (int k : {0, -7, 21, 1000}) {
    SCOPED_TRACE(k);
    const double t = 0.2 * k;
    const double r1 = x[0] + t * x[1] - std::exp(t);
    const double r2 = x[2] + x[3] * std::sin(t) - std::cos(t);
    EXPECT_EQ(kbtest::minimax_value(10, 4, k, x), r1 * r1 + r2 * r2);
    const std::vector<double> g = kbtest::minimax_gradient(10, 4, k, x);
    EXPECT_EQ(g[0], 2 * r1);
    EXPECT_EQ(g[3], 2 * r2 * std::sin(t));
    EXPECT_EQ(kbtest::minimax_hessian(10, 4, k, x)[2], 2 * t * t);
  }
}

// ---------------------------------------------------------------------------------------
// Derivatives against central differences, every k, seeded points near the start.

constexpr double kGradientTolerance = 1e-7;
constexpr double kHessianTolerance = 1e-7;

TEST(Minimax0712Derivatives, AgreeWithCentralDifferencesForEveryK) {
  for (const Facts& f : kFacts) {
    const kbtest::MinimaxSetup s = kbtest::setup_minimax(f.iprob, f.min_n);
    ASSERT_EQ(s.ierr, 0);
    double worst_g = 0;
    double worst_h = 0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
      const std::vector<double> x = kinkbench::check::nearby_point(s.x, seed);
      for (int k = 1; k <= f.m; ++k) {
        SCOPED_TRACE(::testing::Message()
                     << "problem " << f.iprob << " k " << k << " seed " << seed);
        const kinkbench::check::Mismatch g =
            kbtest::minimax_gradient_error(f.iprob, f.min_n, k, x.data());
        const kinkbench::check::Mismatch h =
            kbtest::minimax_hessian_error(f.iprob, f.min_n, k, x.data());
        EXPECT_LT(g.error, kGradientTolerance) << "gradient index " << g.index;
        EXPECT_LT(h.error, kHessianTolerance) << "Hessian index " << h.index;
        worst_g = std::max(worst_g, g.error);
        worst_h = std::max(worst_h, h.error);
      }
    }
    std::printf("problem %2d: worst gradient error %.3e, worst Hessian error %.3e\n", f.iprob,
                worst_g, worst_h);
  }
}

}  // namespace
