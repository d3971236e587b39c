// Minimax problems 13 to 18 through the C routines: set-up and data, values, the ranges
// each routine writes, calls with k outside 1..m, and derivative checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/kinkbench.h"
#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;
using kbtest::minimax_gradient;
using kbtest::minimax_hessian;
using kbtest::minimax_value;
using kbtest::packed_at;
using kbtest::setup_minimax;

struct Facts {
  int iprob;
  int min_n;
  int m;
  int itype;
  int rows;         // leading components read, and rows of gradient and Hessian written
  int data_end;     // last element of empr06 the set-up writes
  bool writes_all;  // the starting point covers all n components
};

constexpr Facts kFacts[] = {
    {13, 4, 61, 0, 4, 122, true}, {14, 5, 21, 0, 5, 0, true},    {15, 5, 30, 0, 5, 60, false},
    {16, 6, 51, 0, 6, 51, false}, {17, 6, 11, -1, 6, 11, false}, {18, 9, 41, 0, 9, 123, false},
};

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

double data_at(int i) { return empr06[i - 1]; }  // 1-based

std::vector<double> start(int iprob, int n) { return setup_minimax(iprob, n).x; }

// ---------------------------------------------------------------------------------------
// Set-up

TEST(Minimax13to18Setup, DimensionsCountsAndStartingPoints) {
  for (const Facts& p : kFacts) {
    SCOPED_TRACE(p.iprob);
    EXPECT_EQ(setup_minimax(p.iprob, p.min_n - 1).ierr, 1);
    EXPECT_EQ(setup_minimax(p.iprob, p.min_n, p.m - 1).ierr, 1);
    for (int n : {p.min_n, p.min_n + 3}) {
      const auto s = setup_minimax(p.iprob, n, p.m);
      ASSERT_EQ(s.ierr, 0);
      EXPECT_EQ(s.m, p.m);
      EXPECT_EQ(s.itype, p.itype);
      EXPECT_EQ(s.stepmax, 1000);
      EXPECT_EQ(s.fmin, -1e60);
      for (int i = p.min_n; i < n; ++i) {
        if (p.writes_all) {
          EXPECT_NE(s.x[static_cast<size_t>(i)], kSentinel) << "x(" << i + 1 << ")";
        } else {
          EXPECT_EQ(s.x[static_cast<size_t>(i)], kSentinel) << "x(" << i + 1 << ")";
        }
      }
    }
  }
  const std::vector<std::vector<double>> expected = {
      {1, 1, 10, 1, 1, 1, 1},     {0.5, 0, 0, 0, 0, 0, 0, 0},
      {0, -1, 10, 1, 10},         {2, 2, 7, 0, -2, 1},
      {0.8, 1.5, 1.2, 3, 0.8, 6}, {0, 1, 0, -0.15, 0, -0.68, 0, -0.72, 0.37},
  };
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(13 + i);
    const auto& e = expected[static_cast<size_t>(i)];
    EXPECT_EQ(start(13 + i, static_cast<int>(e.size())), e);
  }
}

TEST(Minimax13to18Setup, WritesOnlyItsStretchOfTheDataArea) {
  for (const Facts& p : kFacts) {
    SCOPED_TRACE(p.iprob);
    std::fill(std::begin(empr06), std::end(empr06), kSentinel);
    setup_minimax(p.iprob, p.min_n);
    for (int i = 1; i <= p.data_end; ++i) EXPECT_NE(data_at(i), kSentinel) << i;
    for (int i = p.data_end + 1; i <= 123; ++i) EXPECT_EQ(data_at(i), kSentinel) << i;
    // A rejected set-up leaves the data of the accepted one alone.
    std::vector<double> before(std::begin(empr06), std::end(empr06));
    setup_minimax(p.iprob, p.min_n, p.m - 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(empr06)));
  }
}

TEST(Minimax13to18Setup, StoredTablesHaveTheirExactBits) {
  setup_minimax(13, 4);
  EXPECT_EQ(bits(data_at(1)), bits(1.0));
  EXPECT_EQ(bits(data_at(6)), bits(1.075));
  EXPECT_EQ(bits(data_at(61)), bits(100000.0));
  EXPECT_EQ(bits(data_at(61 + 1)), bits(0.973867020527338));
  EXPECT_EQ(bits(data_at(61 + 31)), bits(0.9878587905485517));
  EXPECT_EQ(bits(data_at(61 + 37)), bits(0.991587816853393));
  EXPECT_EQ(bits(data_at(122)), bits(0.9999991893980469));
  // t and y both ascend; a transposed or shifted entry breaks the order.
  for (int k = 2; k <= 61; ++k) {
    EXPECT_LT(data_at(k - 1), data_at(k)) << k;
    EXPECT_LT(data_at(61 + k - 1), data_at(61 + k)) << k;
  }

  setup_minimax(17, 6);
  const double t17[11] = {0.5, 0.6, 0.7, 0.77, 0.9, 1.0, 1.1, 1.23, 1.3, 1.4, 1.5};
  for (int k = 1; k <= 11; ++k) EXPECT_EQ(bits(data_at(k)), bits(t17[k - 1])) << k;

  // Problem 18: the double nearest k/100 for each listed hundredth, except five entries
  // one unit in the last place away.
  setup_minimax(18, 9);
  const int hundredths[41] = {0,  1,  2,  3,  4,  5,  7,  10, 13, 16, 19, 22, 25, 28,
                              31, 34, 37, 40, 43, 46, 50, 54, 57, 60, 63, 66, 69, 72,
                              75, 78, 81, 84, 87, 90, 93, 95, 96, 97, 98, 99, 100};
  for (int k = 1; k <= 41; ++k) {
    const double nearest = hundredths[k - 1] / 100.0;
    double expected = nearest;
    if (k == 18) expected = std::nextafter(nearest, 0.0);
    if (k == 23 || k == 24 || k == 27 || k == 32) expected = std::nextafter(nearest, 1.0);
    EXPECT_EQ(bits(data_at(k)), bits(expected)) << k;
  }
  EXPECT_EQ(data_at(18), 0.39999999999999997);
  // cos and sin of t pi at the ends: pi is the double 3.141592653589793, whose sine is
  // not zero.
  EXPECT_EQ(data_at(42), 1.0);
  EXPECT_EQ(data_at(82), -1.0);
  EXPECT_EQ(data_at(83), 0.0);
  EXPECT_EQ(data_at(123), 1.2246467991473532e-16);
}

TEST(Minimax13to18Setup, ComputedCurvesMatchAnIndependentEvaluation) {
  setup_minimax(15, 5);
  EXPECT_EQ(bits(data_at(1)), bits(-1.0));
  EXPECT_EQ(bits(data_at(30)), bits(1.0));
  EXPECT_EQ(bits(data_at(31)), bits(1.6372604179034311));
  for (int k = 1; k <= 30; ++k) {
    SCOPED_TRACE(k);
    const long double t = -1.0L + 2.0L * (k - 1) / 29.0L;
    EXPECT_NEAR(data_at(k), static_cast<double>(t), 2.3e-16);
    const long double u = 8 * static_cast<long double>(data_at(k));
    const long double y = std::sqrt((u - 1) * (u - 1) + 1) * std::atan(u) / u;
    EXPECT_NEAR(data_at(30 + k), static_cast<double>(y), 1e-15 * std::fabs(y));
  }

  setup_minimax(16, 6);
  EXPECT_EQ(data_at(1), 0.0);
  for (int k = 2; k <= 51; ++k) {
    const long double t = (k - 1) / 10.0L;
    const long double y = 0.5L * std::exp(-t) - std::exp(-2 * t) + 0.5L * std::exp(-3 * t) +
                          1.5L * std::exp(-1.5L * t) * std::sin(7 * t) +
                          std::exp(-2.5L * t) * std::sin(5 * t);
    EXPECT_NEAR(data_at(k), static_cast<double>(y), 2e-15) << k;
  }
}

// ---------------------------------------------------------------------------------------
// Values

TEST(Minimax13to18Values, AtTheStartingPoints) {
  auto x = start(13, 4);
  EXPECT_NEAR(minimax_value(13, 4, 1, x.data()),
              std::pow((2 + 1.0 / 11) / (2 * 0.973867020527338), 1.5) - 1, 1e-15);

  x = start(14, 5);
  EXPECT_NEAR(minimax_value(14, 5, 1, x.data()), 0.5 - std::exp(-1.0), 1e-16);
  EXPECT_NEAR(minimax_value(14, 5, 21, x.data()), 0.5 - std::exp(1.0), 1e-15);

  x = start(15, 5);
  EXPECT_EQ(minimax_value(15, 5, 1, x.data()), 1.1 - 1.6372604179034311);

  x = start(16, 6);
  EXPECT_EQ(minimax_value(16, 6, 1, x.data()), 0.0);

  x = start(17, 6);
  int best = 1;
  for (int k = 2; k <= 11; ++k) {
    if (minimax_value(17, 6, k, x.data()) > minimax_value(17, 6, best, x.data())) best = k;
  }
  EXPECT_EQ(best, 5);
  EXPECT_NEAR(minimax_value(17, 6, 5, x.data()), 0.39, 0.005);
  EXPECT_NEAR(minimax_value(17, 6, 1, x.data()), 0.23, 0.005);

  x = start(18, 9);
  const double f1 = 0.37 * (2 / 0.85) * (0.32 / 0.28) - 1;
  EXPECT_NEAR(minimax_value(18, 9, 1, x.data()), f1, 1e-15);
  EXPECT_NEAR(minimax_value(18, 9, 41, x.data()), f1, 1e-14);
  best = 1;
  for (int k = 2; k <= 41; ++k) {
    if (minimax_value(18, 9, k, x.data()) > minimax_value(18, 9, best, x.data())) best = k;
  }
  EXPECT_EQ(best, 3);
  EXPECT_NEAR(minimax_value(18, 9, 3, x.data()), 1.4e-2, 0.001);
}

// The tolerance checks above cannot see the last bits. Each stated form is checked
// bitwise, and `apart` counts where a plausible rewrite rounds differently, so that
// every check is shown able to fail.
TEST(Minimax13to18Values, FollowTheStatedOrderOfEvaluation) {
  int apart[7] = {};
  // Problem 14: v = 0.1 (k - 1) - 1, and the numerator times the reciprocal.
  const double x14[5] = {0.7, -0.3, 0.11, 0.05, -0.02};
  const auto f14 = [&](double v, bool reciprocal) {
    const double num = x14[0] + x14[1] * v;
    const double den = 1 + v * (x14[2] + v * (x14[3] + v * x14[4]));
    return (reciprocal ? num * (1 / den) : num / den) - std::exp(v);
  };
  for (int k = 1; k <= 21; ++k) {
    const double f = f14(0.1 * (k - 1) - 1, true);
    EXPECT_EQ(bits(minimax_value(14, 5, k, x14)), bits(f)) << k;
    apart[0] += f != f14(0.1 * (k - 1) - 1, false);
    apart[1] += f != f14((k - 11) / 10.0, true);
  }
  // Problem 15: t = (2i)/29 - 1, and the curve's product divided by u.
  setup_minimax(15, 5);
  for (int k = 2; k <= 30; ++k) {
    const double t = static_cast<double>(2 * (k - 1)) / 29 - 1;
    EXPECT_EQ(bits(data_at(k)), bits(t)) << k;
    apart[2] += t != (k - 1) * (2.0 / 29) - 1;
    const double u = 8 * t;
    const double root = std::sqrt((u - 1) * (u - 1) + 1);
    EXPECT_EQ(bits(data_at(30 + k)), bits(root * std::atan(u) / u)) << k;
    apart[3] += root * std::atan(u) / u != root * (std::atan(u) / u);
  }
  // Problem 16: t = 0.1 (k - 1), five terms added from left to right.
  setup_minimax(16, 6);
  const auto e = [](double v) { return std::exp(v); };
  const auto y16 = [&](double t) {
    return 0.5 * e(-t) - e(-2 * t) + 0.5 * e(-3 * t) + 1.5 * e(-1.5 * t) * std::sin(7 * t) +
           e(-2.5 * t) * std::sin(5 * t);
  };
  for (int k = 2; k <= 51; ++k) {
    const double t = 0.1 * (k - 1);
    EXPECT_EQ(bits(data_at(k)), bits(y16(t))) << k;
    apart[4] += y16(t) != y16((k - 1) / 10.0);
    apart[5] += y16(t) != (0.5 * e(-t) + 0.5 * e(-3 * t)) - e(-2 * t) +
                              (1.5 * e(-1.5 * t) * std::sin(7 * t) + e(-2.5 * t) * std::sin(5 * t));
  }
  // Problem 18: (sqrt(A1/B1) x9) sqrt(A2/B2), not x9 times the product of the roots.
  setup_minimax(18, 9);
  const double x18[9] = {0.3, 0.9, -0.2, -0.15, 0.1, -0.68, 0.05, -0.72, 0.37};
  for (int k = 1; k <= 41; ++k) {
    const double c = data_at(41 + k), s = data_at(82 + k);
    const auto quad = [&](double xa, double xb) {
      const double lin = xa + (1 + xb) * c, sq = (1 - xb) * s;
      return lin * lin + sq * sq;
    };
    const double r1 = std::sqrt(quad(x18[0], x18[1]) / quad(x18[2], x18[3]));
    const double r2 = std::sqrt(quad(x18[4], x18[5]) / quad(x18[6], x18[7]));
    const double shift = std::fabs(1 - 2 * data_at(k));
    const double f = (r1 * x18[8]) * r2 - shift;
    EXPECT_EQ(bits(minimax_value(18, 9, k, x18)), bits(f)) << k;
    apart[6] += f != x18[8] * (r1 * r2) - shift;
  }
  for (int i = 0; i < 7; ++i) EXPECT_GT(apart[i], 0) << i;
}

TEST(Minimax13to18Values, Problem14IsDefinedForEveryK) {
  const double x[5] = {0.5, 0.3, 0.02, 0.001, 0.0001};
  for (int k : {INT_MIN, -100, -7, 0, 1, 11, 21, 22, 500, INT_MAX}) {
    SCOPED_TRACE(k);
    const long double v = 0.1L * (static_cast<long double>(k) - 1) - 1;
    const long double d = 1 + v * (x[2] + v * (x[3] + v * x[4]));
    const double expected = static_cast<double>((x[0] + x[1] * v) / d - std::exp(v));
    const double f = minimax_value(14, 5, k, x);
    if (std::isinf(expected)) {
      EXPECT_EQ(f, expected);
    } else {
      EXPECT_NEAR(f, expected, 1e-13 * std::max(1.0, std::fabs(expected)));
    }
    const auto g = minimax_gradient(14, 5, k, x);
    EXPECT_NEAR(g[0], static_cast<double>(1 / d), 1e-13 * std::fabs(static_cast<double>(1 / d)));
    const auto h = minimax_hessian(14, 5, k, x);
    EXPECT_EQ(std::count(h.begin(), h.end(), kSentinel), 0);
  }
  // v = 0 at k = 11: the function is x1 - 1 there.
  EXPECT_EQ(minimax_value(14, 5, 11, x), x[0] - 1);
}

struct ChainResult {
  double f;
  std::complex<double> d;  // a + b, the divisor of the quotient
  double smith;            // |1 + Q|, Q = -2a/(a + b) by Smith's method, as stated
};

// The chain with complex<double>; `single` selects the rounding of c, p and q.
ChainResult chain_with(int k, const double* x, bool single) {
  const double t[11] = {0.5, 0.6, 0.7, 0.77, 0.9, 1.0, 1.1, 1.23, 1.3, 1.4, 1.5};
  const double theta = t[k - 1] * 1.5707963267948966;
  const auto r = [single](double v) {
    return single ? static_cast<double>(static_cast<float>(v)) : v;
  };
  const std::complex<double> i(0, 1);
  std::complex<double> a = 1, b = 10;
  for (int u : {4, 2, 0}) {
    const double z = x[u + 1];
    const double phi = theta * x[u];
    const double c = r(std::cos(phi)), p = r(std::sin(phi) / z), q = r(z * std::sin(phi));
    const std::complex<double> na = c * a + i * p * b;
    b = i * q * a + c * b;
    a = na;
  }
  const std::complex<double> n = -2.0 * a, d = a + b;
  std::complex<double> q;
  if (!(std::fabs(d.real()) < std::fabs(d.imag()))) {
    const double ratio = d.imag() / d.real(), w = d.real() + ratio * d.imag();
    q = {(n.real() + ratio * n.imag()) / w, (n.imag() - ratio * n.real()) / w};
  } else {
    const double ratio = d.real() / d.imag(), w = d.imag() + ratio * d.real();
    q = {(ratio * n.real() + n.imag()) / w, (ratio * n.imag() - n.real()) / w};
  }
  return {std::abs(b - a) / std::abs(a + b), d, std::hypot(1 + q.real(), q.imag())};
}

double chain(int k, const double* x, bool single) { return chain_with(k, x, single).f; }

TEST(Minimax13to18Values, Problem17RoundsTheSectionFactorsToSingle) {
  const auto x = start(17, 6);
  const double f = minimax_value(17, 6, 1, x.data());
  const double unrounded = chain(1, x.data(), false);
  // The single-precision step lowers f_1 by about 2e-8: the eighth significant digit.
  EXPECT_GT(unrounded - f, 5e-9);
  EXPECT_LT(unrounded - f, 1e-7);
  EXPECT_NEAR(f, chain(1, x.data(), true), 1e-15);

  // Both branches of the quotient give the stated Smith quotient's bits, which the
  // shortcut |b - a|/|a + b| does not at some points.
  int branches[2] = {0, 0};
  int apart = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    const auto p = kinkbench::check::nearby_point(x, seed, 0.5);
    for (int k = 1; k <= 11; ++k) {
      const ChainResult expected = chain_with(k, p.data(), true);
      ++branches[std::fabs(expected.d.real()) < std::fabs(expected.d.imag()) ? 1 : 0];
      EXPECT_NEAR(minimax_value(17, 6, k, p.data()), expected.f, 1e-13 * expected.f) << k;
      EXPECT_EQ(bits(minimax_value(17, 6, k, p.data())), bits(expected.smith)) << k;
      apart += expected.smith != expected.f;
    }
  }
  EXPECT_GT(apart, 0);
  EXPECT_GT(branches[0], 0);
  EXPECT_GT(branches[1], 0);
}

TEST(Minimax13to18Values, ZeroGuards) {
  // Problem 18: B1 = 0 at k = 1 when x3 = -1 - x4; it becomes 1e-30, so f_1 is finite.
  setup_minimax(18, 9);
  std::vector<double> x = {0, 1, 0, -0.15, 0, -0.68, 0, -0.72, 0.37};
  x[2] = -1 - x[3];
  const double f = minimax_value(18, 9, 1, x.data());
  EXPECT_TRUE(std::isfinite(f));
  EXPECT_NEAR(f, std::sqrt(4 / 1e-30) * 0.37 * (0.32 / 0.28) - 1, 1e-13 * std::fabs(f));
  for (double v : minimax_gradient(18, 9, 1, x.data())) EXPECT_TRUE(std::isfinite(v));
  for (double v : minimax_hessian(18, 9, 1, x.data())) EXPECT_TRUE(std::isfinite(v));
  x[2] = NAN;
  EXPECT_TRUE(std::isnan(minimax_value(18, 9, 1, x.data())));

  // A zero numerator A1 is not guarded in the value (f_1 = -1 exactly), but is in the
  // derivatives, which stay finite instead of 0/0.
  x = {-2, 1, 0, -0.15, 0, -0.68, 0, -0.72, 0.37};
  EXPECT_EQ(minimax_value(18, 9, 1, x.data()), -1.0);
  for (double v : minimax_gradient(18, 9, 1, x.data())) EXPECT_TRUE(std::isfinite(v));
  for (double v : minimax_hessian(18, 9, 1, x.data())) EXPECT_TRUE(std::isfinite(v));

  // Problem 13: h = t + x2 + 1/d = 0 at k = 1 (t = 1, d = 0.5, x2 = -3) is replaced by
  // 1e-30 in the derivatives; the value has q = 0 and f = -1.
  setup_minimax(13, 4);
  const double y[4] = {1, -3, 1, -0.5};
  EXPECT_EQ(minimax_value(13, 4, 1, y), -1.0);
  const auto g = minimax_gradient(13, 4, 1, y);
  const double p = std::pow(1e-30 / (2 * 0.973867020527338), 1.5);
  EXPECT_NEAR(g[0], p, 1e-14 * p);
  EXPECT_NEAR(g[1], p * 1.5 / 1e-30, 1e-14 * p * 1.5 / 1e-30);
  for (double v : g) EXPECT_TRUE(std::isfinite(v));
  for (double v : minimax_hessian(13, 4, 1, y)) EXPECT_TRUE(std::isfinite(v));
}

// ---------------------------------------------------------------------------------------
// What the routines write

TEST(Minimax13to18Ranges, GradientAndHessianWriteOnlyTheirLeadingRows) {
  for (const Facts& p : kFacts) {
    for (int n : {p.min_n, p.min_n + 3}) {
      SCOPED_TRACE(testing::Message() << "problem " << p.iprob << " n " << n);
      const auto x = start(p.iprob, n);
      const auto g = minimax_gradient(p.iprob, n, 2, x.data());
      for (int i = 0; i < n; ++i) {
        const bool written = i < p.rows;
        EXPECT_EQ(g[static_cast<size_t>(i)] != kSentinel, written) << "g(" << i + 1 << ")";
      }
      const auto h = minimax_hessian(p.iprob, n, 2, x.data());
      const auto lead = kbtest::packed_size(p.rows);
      for (std::int64_t i = 0; i < kbtest::packed_size(n); ++i) {
        const double v = h[static_cast<size_t>(i)];
        if (i < lead) {
          EXPECT_NE(v, kSentinel) << "position " << i + 1;
        } else if (p.iprob == 16) {
          EXPECT_EQ(v, 0.0) << "position " << i + 1;  // the whole triangle is cleared
        } else {
          EXPECT_EQ(v, kSentinel) << "position " << i + 1;
        }
      }
    }
  }
}

TEST(Minimax13to18Ranges, KOutsideOneToMWritesNothing) {
  for (const Facts& p : kFacts) {
    if (p.iprob == 14) continue;
    const auto x = start(p.iprob, p.min_n);
    for (int k : {INT_MIN, -1, 0, p.m + 1, 124, INT_MAX}) {
      SCOPED_TRACE(testing::Message() << "problem " << p.iprob << " k " << k);
      EXPECT_EQ(minimax_value(p.iprob, p.min_n, k, x.data()), kSentinel);
      for (double v : minimax_gradient(p.iprob, p.min_n, k, x.data())) EXPECT_EQ(v, kSentinel);
      for (double v : minimax_hessian(p.iprob, p.min_n, k, x.data())) EXPECT_EQ(v, kSentinel);
    }
  }
}

TEST(Minimax13to18Ranges, StructuralZerosOfTheHessians) {
  const auto x14 = kinkbench::check::nearby_point(start(14, 5), 3);
  for (int k = 1; k <= 21; ++k) {
    const auto h = minimax_hessian(14, 5, k, x14.data());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(h[static_cast<size_t>(i)], 0.0) << k;
  }
  setup_minimax(15, 5);
  const auto x15 = kinkbench::check::nearby_point(start(15, 5), 3);
  for (int k = 1; k <= 30; ++k) {
    const auto h = minimax_hessian(15, 5, k, x15.data());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(h[static_cast<size_t>(i)], 0.0) << k;
  }
  const auto x16 = kinkbench::check::nearby_point(start(16, 6), 3);
  for (int k = 1; k <= 51; ++k) {
    const auto h = minimax_hessian(16, 6, k, x16.data());
    EXPECT_EQ(packed_at(h, 1, 1), 0.0) << k;
    EXPECT_EQ(packed_at(h, 5, 5), 0.0) << k;
  }
  // At t = 0 only H(4,1) and H(4,4) survive.
  const auto h = minimax_hessian(16, 6, 1, x16.data());
  for (int i = 1; i <= 6; ++i) {
    for (int j = 1; j <= i; ++j) {
      if (i == 4 && j == 1) {
        EXPECT_EQ(packed_at(h, i, j), -std::sin(x16[3]));
      } else if (i == 4 && j == 4) {
        EXPECT_EQ(packed_at(h, i, j), -x16[0] * std::cos(x16[3]));
      } else {
        EXPECT_EQ(packed_at(h, i, j), 0.0) << i << "," << j;
      }
    }
  }
  // Problem 18 at the start, k = 1: g(9) = R.
  const auto x18 = start(18, 9);
  EXPECT_NEAR(minimax_gradient(18, 9, 1, x18.data())[8], (2 / 0.85) * (0.32 / 0.28), 1e-15);
  EXPECT_EQ(packed_at(minimax_hessian(18, 9, 1, x18.data()), 9, 9), 0.0);
}

// ---------------------------------------------------------------------------------------
// Derivatives

TEST(Minimax13to18Derivatives, Problem17ZeroAngleGivesNaNInItsRowAndColumn) {
  for (int u : {1, 3, 5}) {
    SCOPED_TRACE(u);
    auto x = start(17, 6);
    x[static_cast<size_t>(u - 1)] = 0;
    for (int k : {1, 6, 11}) {
      const auto g = minimax_gradient(17, 6, k, x.data());
      for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(std::isnan(g[static_cast<size_t>(i - 1)]), i == u) << "g(" << i << ")";
        EXPECT_TRUE(i == u || std::isfinite(g[static_cast<size_t>(i - 1)]));
      }
      const auto h = minimax_hessian(17, 6, k, x.data());
      for (int i = 1; i <= 6; ++i) {
        for (int j = 1; j <= i; ++j) {
          const double v = packed_at(h, i, j);
          if (i == u || j == u) {
            EXPECT_TRUE(std::isnan(v)) << i << "," << j;
          } else {
            EXPECT_TRUE(std::isfinite(v)) << i << "," << j;
          }
        }
      }
    }
  }
}

// Tolerances of the relative error |analytic - difference| / max(1, |analytic|, |diff|).
struct Tolerance {
  int iprob;
  double gradient;
  double hessian;
};

TEST(Minimax13to18Derivatives, AgreeWithCentralDifferencesNearTheStart) {
  // Smooth double-precision problems: the checker's step leaves errors well below 1e-7.
  // Problem 13 at k = 61 raises q to the power 100000.5, which multiplies the rounding
  // of q by 1e5; the difference quotients then carry noise of about 1e-6.
  constexpr Tolerance kTol[] = {
      {13, 1e-7, 1e-7}, {14, 1e-7, 1e-7}, {15, 1e-7, 1e-7}, {16, 1e-7, 1e-7}, {18, 1e-7, 1e-7}};
  constexpr double kProblem13AtK61 = 3e-6;
  for (const Tolerance& tol : kTol) {
    const Facts& p = *std::find_if(std::begin(kFacts), std::end(kFacts),
                                   [&](const Facts& f) { return f.iprob == tol.iprob; });
    const auto x0 = start(p.iprob, p.min_n);
    double worst_g = 0, worst_h = 0, worst61 = 0;
    for (unsigned seed = 1; seed <= 4; ++seed) {
      const auto x = kinkbench::check::nearby_point(x0, seed);
      for (int k = 1; k <= p.m; ++k) {
        SCOPED_TRACE(testing::Message() << "problem " << p.iprob << " k " << k << " seed " << seed);
        const auto eg = kbtest::minimax_gradient_error(p.iprob, p.min_n, k, x.data());
        const auto eh = kbtest::minimax_hessian_error(p.iprob, p.min_n, k, x.data());
        if (p.iprob == 13 && k == 61) {
          EXPECT_LT(eg.error, kProblem13AtK61) << "component " << eg.index;
          EXPECT_LT(eh.error, kProblem13AtK61) << "position " << eh.index;
          worst61 = std::max({worst61, eg.error, eh.error});
          continue;
        }
        EXPECT_LT(eg.error, tol.gradient) << "component " << eg.index;
        EXPECT_LT(eh.error, tol.hessian) << "position " << eh.index;
        worst_g = std::max(worst_g, eg.error);
        worst_h = std::max(worst_h, eh.error);
      }
    }
    std::printf("[ derivs   ] problem %d: worst gradient error %.2e, Hessian error %.2e\n", p.iprob,
                worst_g, worst_h);
    if (p.iprob == 13) std::printf("[ derivs   ] problem 13, k = 61: worst error %.2e\n", worst61);
  }
}

// Central differences with a chosen relative step.
double worst_gradient_error(int k, const std::vector<double>& x, double step,
                            double (*f)(int, const double*)) {
  const auto g = minimax_gradient(17, 6, k, x.data());
  double worst = 0;
  for (size_t i = 0; i < 6; ++i) {
    const double h = step * std::max(1.0, std::fabs(x[i]));
    auto up = x, down = x;
    up[i] += h;
    down[i] -= h;
    const double d = (f(k, up.data()) - f(k, down.data())) / (2 * h);
    worst = std::max(worst, std::fabs(g[i] - d) / std::max({1.0, std::fabs(g[i]), std::fabs(d)}));
  }
  return worst;
}

double worst_hessian_error_from_gradient(int k, const std::vector<double>& x, double step) {
  const auto h = minimax_hessian(17, 6, k, x.data());
  double worst = 0;
  for (int j = 1; j <= 6; ++j) {
    const double s = step * std::max(1.0, std::fabs(x[static_cast<size_t>(j - 1)]));
    auto up = x, down = x;
    up[static_cast<size_t>(j - 1)] += s;
    down[static_cast<size_t>(j - 1)] -= s;
    const auto gu = minimax_gradient(17, 6, k, up.data());
    const auto gd = minimax_gradient(17, 6, k, down.data());
    for (int i = j; i <= 6; ++i) {
      const double d = (gu[static_cast<size_t>(i - 1)] - gd[static_cast<size_t>(i - 1)]) / (2 * s);
      const double a = packed_at(h, i, j);
      worst = std::max(worst, std::fabs(a - d) / std::max({1.0, std::fabs(a), std::fabs(d)}));
    }
  }
  return worst;
}

// Second differences of the unrounded chain, which is smooth to rounding level.
double worst_hessian_error_from_exact_chain(int k, const std::vector<double>& x) {
  const auto h = minimax_hessian(17, 6, k, x.data());
  const double s = 1e-4;
  double worst = 0;
  for (int i = 1; i <= 6; ++i) {
    for (int j = 1; j <= i; ++j) {
      const auto at = [&](double di, double dj) {
        auto p = x;
        p[static_cast<size_t>(i - 1)] += di;
        p[static_cast<size_t>(j - 1)] += dj;
        return chain(k, p.data(), false);
      };
      const double d = (at(s, s) - at(s, -s) - at(-s, s) + at(-s, -s)) / (4 * s * s);
      const double a = packed_at(h, i, j);
      worst = std::max(worst, std::fabs(a - d) / std::max({1.0, std::fabs(a), std::fabs(d)}));
    }
  }
  return worst;
}

// Where the two terms of w_ij nearly cancel, or a section's sine is tiny but not zero,
// first derivatives that differ from the jet's by the single-precision rounding ruin
// the Hessian. It must still match the unrounded chain to about five digits of its
// largest entry.
TEST(Minimax13to18Derivatives, Problem17HessianHoldsWhereItsTermsCancel) {
  struct Case {
    int k;
    std::vector<double> x;
  };
  // The second point has theta x1 = -pi, whose sine is -1.2e-16.
  const Case cases[] = {{3, {-0.119, 0.247, -7.15, 7.26, -1.18, -0.151}},
                        {6, {-2, -0.49, -2.4, -6.1, -2.6, 0.51}}};
  setup_minimax(17, 6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    const auto h = minimax_hessian(17, 6, c.k, c.x.data());
    const double s = 3e-4;
    std::vector<double> d(21);
    for (int i = 1; i <= 6; ++i) {
      for (int j = 1; j <= i; ++j) {
        const auto at = [&](double di, double dj) {
          auto p = c.x;
          p[static_cast<size_t>(i - 1)] += di;
          p[static_cast<size_t>(j - 1)] += dj;
          return chain(c.k, p.data(), false);
        };
        d[static_cast<size_t>(i * (i - 1) / 2 + j - 1)] =
            (at(s, s) - at(s, -s) - at(-s, s) + at(-s, -s)) / (4 * s * s);
      }
    }
    double scale = 0, worst = 0;
    for (double v : d) scale = std::max(scale, std::fabs(v));
    for (size_t i = 0; i < 21; ++i) worst = std::max(worst, std::fabs(h[i] - d[i]));
    EXPECT_LT(worst / scale, 2e-5);
  }
}

TEST(Minimax13to18Derivatives, Problem17AgreesToTheLevelOfItsSinglePrecisionStep) {
  // The rounded factors make the value a staircase with steps of about 1e-8 and the
  // gradient one with steps of about 1e-7, so differences need long steps: 1e-3 for the
  // gradient (rounding noise ~1e-5, truncation ~1e-5) and 3e-4 for the Hessian (noise
  // and truncation ~1e-4). Against the smooth unrounded chain the Hessian must agree to
  // about five digits: the rounding of c, p and q to single precision (6e-8) is all that
  // separates them.
  const double kGradientTol = 3e-4, kHessianTol = 1e-3, kExactTol = 5e-5;
  const auto value = [](int k, const double* p) { return minimax_value(17, 6, k, p); };
  const auto unrounded = [](int k, const double* p) { return chain(k, p, false); };
  const auto x0 = start(17, 6);
  double worst[4] = {0, 0, 0, 0};
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const auto x = kinkbench::check::nearby_point(x0, seed);
    for (int k = 1; k <= 11; ++k) {
      SCOPED_TRACE(testing::Message() << "k " << k << " seed " << seed);
      const double e[4] = {
          worst_gradient_error(k, x, 1e-3, value), worst_hessian_error_from_gradient(k, x, 3e-4),
          worst_gradient_error(k, x, 1e-5, unrounded), worst_hessian_error_from_exact_chain(k, x)};
      EXPECT_LT(e[0], kGradientTol);
      EXPECT_LT(e[1], kHessianTol);
      EXPECT_LT(e[2], kExactTol);
      EXPECT_LT(e[3], kExactTol);
      for (int i = 0; i < 4; ++i) worst[i] = std::max(worst[i], e[i]);
    }
  }
  std::printf(
      "[ derivs   ] problem 17: worst gradient error %.2e, Hessian error %.2e; against the "
      "unrounded chain %.2e, %.2e\n",
      worst[0], worst[1], worst[2], worst[3]);
}

}  // namespace
