// Nonsmooth problems 1 to 12: starting points, values at named points, the active piece
// and sign chosen at ties and kinks, NaN handling, and derivatives against central
// differences where the piece is stable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/kinkbench.h"
#include "support/harness.hpp"

namespace {

using Vec = std::vector<double>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double value(int iprob, const Vec& x) {
  return kbtest::nonsmooth_value(iprob, static_cast<int>(x.size()), x.data());
}

// x padded with `filler` up to n components: problems must ignore the extra ones.
Vec padded(Vec x, int n, double filler) {
  x.resize(static_cast<size_t>(n), filler);
  return x;
}

// Gradient and packed Hessian at x (padded to n with non-zero filler) must be g_lead and
// h_lead followed by exact zeros.
void expect_derivatives(int iprob, int n, const Vec& x, const Vec& g_lead, const Vec& h_lead) {
  const Vec p = padded(x, n, 7.25);
  const Vec g = kbtest::nonsmooth_gradient(iprob, n, p.data());
  const Vec h = kbtest::nonsmooth_hessian(iprob, n, p.data());
  const Vec g_want = padded(g_lead, n, 0);
  const Vec h_want = padded(h_lead, static_cast<int>(kbtest::packed_size(n)), 0);
  for (size_t i = 0; i < g.size(); ++i) EXPECT_DOUBLE_EQ(g[i], g_want[i]) << "g(" << i + 1 << ")";
  for (size_t i = 0; i < h.size(); ++i) EXPECT_DOUBLE_EQ(h[i], h_want[i]) << "h(" << i + 1 << ")";
}

void expect_start(int iprob, int n, const Vec& x_want) {
  const kbtest::NonsmoothSetup s = kbtest::setup_nonsmooth(iprob, n);
  ASSERT_EQ(s.ierr, 0);
  EXPECT_EQ(s.x, x_want);
}

// ---------------------------------------------------------------- problem 1

TEST(NonsmoothProblem01, StartAndRosenbrockDerivatives) {
  expect_start(1, 4, {-1.2, 1, 0, 0});
  EXPECT_NEAR(value(1, {-1.2, 1}), 24.2, 1e-12);
  expect_derivatives(1, 4, {1, 1}, {0, 0}, {802, -400, 200});
  // x2 - x1^2 = -1 at (2, 3), so every term is exact.
  expect_derivatives(1, 4, {2, 3}, {802, -200}, {3602, -800, 200});
}

// ---------------------------------------------------------------- problem 2

TEST(NonsmoothProblem02, StartAndValues) {
  expect_start(2, 5, {-1.5, 2, 0, 0, 0});
  EXPECT_EQ(value(2, {-1.5, 2}), 4.25);
  EXPECT_EQ(value(2, {1, 1}), 1.0);           // t = 0
  EXPECT_EQ(value(2, {0.5, 1}), 1.75);        // t = -0.75
  EXPECT_EQ(value(2, {0.5, 1, 9, 9}), 1.75);  // extra components ignored
}

TEST(NonsmoothProblem02, ZeroArgumentTakesThePositiveSign) {
  expect_derivatives(2, 4, {1, 1}, {2, 1}, {2, 0, 2});
  expect_derivatives(2, 4, {0.5, 1}, {-1, 1}, {-2, 0, -2});
  expect_derivatives(2, 4, {-1.5, 2}, {-3, 3}, {2, 0, 2});
  // A NaN t is not below 0, so it takes the positive sign too.
  const Vec h = kbtest::nonsmooth_hessian(2, 2, Vec{1, kNaN}.data());
  EXPECT_EQ(h, (Vec{2, 0, 2}));
  EXPECT_EQ(kbtest::nonsmooth_gradient(2, 2, Vec{1, kNaN}.data())[0], 2.0);
  // Whatever sign bit the NaN carries.
  const Vec minus_nan = {1, std::copysign(kNaN, -1.0)};
  EXPECT_EQ(kbtest::nonsmooth_hessian(2, 2, minus_nan.data()), (Vec{2, 0, 2}));
}

// ---------------------------------------------------------------- problems 3 and 4

TEST(NonsmoothProblem03, StartAndPieces) {
  expect_start(3, 3, {1, -0.1, 0});
  EXPECT_NEAR(value(3, {1, -0.1}), 5.41, 1e-14);
  expect_derivatives(3, 4, {1, -0.1}, {-2, -4.2}, {2, 0, 2});  // piece 2
  const double e2 = std::exp(2.0);
  EXPECT_EQ(value(3, {-1, 1}), 2 * e2);
  expect_derivatives(3, 4, {-1, 1}, {-2 * e2, 2 * e2}, {2 * e2, -2 * e2, 2 * e2});  // piece 3
}

TEST(NonsmoothProblem03, TiesGoToTheLowestPiece) {
  EXPECT_EQ(value(3, {1, 1}), 2.0);
  expect_derivatives(3, 4, {1, 1}, {2, 4}, {2, 0, 12});  // all three equal
  EXPECT_EQ(value(3, {2, 0}), 4.0);
  expect_derivatives(3, 4, {2, 0}, {4, 0}, {2, 0, 0});  // f1 = f2 = 4 > f3
}

TEST(NonsmoothProblem04, StartAndPieces) {
  expect_start(4, 2, {2, 2});
  EXPECT_EQ(value(4, {2, 2}), 20.0);
  expect_derivatives(4, 4, {2, 2}, {32, 4}, {48, 0, 2});    // piece 1
  expect_derivatives(4, 4, {-1, -1}, {-6, -6}, {2, 0, 2});  // piece 2
  const double e2 = std::exp(2.0);
  expect_derivatives(4, 4, {-1, 1}, {-2 * e2, 2 * e2}, {2 * e2, -2 * e2, 2 * e2});
  expect_derivatives(4, 4, {1, 1}, {4, 2}, {12, 0, 2});  // three-way tie: piece 1
}

// ---------------------------------------------------------------- problem 5

TEST(NonsmoothProblem05, StartFillsEveryComponent) {
  expect_start(5, 2, {1, 1});
  expect_start(5, 6, {1, 1, 1, 1, 1, 1});
  EXPECT_EQ(value(5, {1, 1, 1, 1}), 6.0);
}

TEST(NonsmoothProblem05, TiesGoToTheLowestPiece) {
  expect_derivatives(5, 4, {1, 1}, {5, 1}, {});  // f1 = f3 = 6
  expect_derivatives(5, 4, {0, 0}, {5, 1}, {});  // all three 0
  EXPECT_EQ(value(5, {0, 0}), 0.0);
  expect_derivatives(5, 4, {-1, 1}, {-5, 1}, {});  // f2 = f3 = 6 > f1
  EXPECT_EQ(value(5, {-1, 1}), 6.0);
  expect_derivatives(5, 4, {0, 2}, {0, 8}, {2, 0, 2});  // piece 3 alone
}

TEST(NonsmoothProblem05, MaximumPassesOverNaNPiecesAndTheChoiceFallsToPieceThree) {
  // f1 = NaN, f2 = -inf, f3 = NaN: the value skips the NaNs; every comparison in the
  // choice fails, which selects piece 3.
  const Vec x = {kInf, -kInf};
  EXPECT_EQ(value(5, x), -kInf);
  EXPECT_EQ(kbtest::nonsmooth_gradient(5, 2, x.data()), (Vec{kInf, -kInf}));
  EXPECT_EQ(kbtest::nonsmooth_hessian(5, 2, x.data()), (Vec{2, 0, 2}));
  EXPECT_TRUE(std::isnan(value(5, {kNaN, 0})));  // all three NaN
}

// ---------------------------------------------------------------- problem 6

TEST(NonsmoothProblem06, StartAndTies) {
  expect_start(6, 2, {-1, 5});
  EXPECT_EQ(value(6, {-1, 5}), 56.0);
  expect_derivatives(6, 4, {-1, 5}, {-42, 0}, {2, 0, 2});
  EXPECT_EQ(value(6, {0, 2}), 24.0);
  expect_derivatives(6, 4, {0, 2}, {-40, -6}, {2, 0, 2});  // f2 = f3 = 24 > f1
  EXPECT_EQ(value(6, {1, 3}), 10.0);
  expect_derivatives(6, 4, {1, 3}, {2, 6}, {2, 0, 2});     // f1 = f3 = 10 > f2
  expect_derivatives(6, 4, {1, 2}, {-8, -16}, {2, 0, 2});  // piece 3 alone
}

// ---------------------------------------------------------------- problem 7

TEST(NonsmoothProblem07, QuadraticPieceOnlyWhenStrictlyLarger) {
  expect_start(7, 2, {-0.5, -0.5});
  EXPECT_EQ(value(7, {-0.5, -0.5}), 1.0);
  expect_derivatives(7, 4, {-0.5, -0.5}, {-1, -1}, {});
  EXPECT_EQ(value(7, {2, 2}), 3.0);
  expect_derivatives(7, 4, {2, 2}, {3, 3}, {2, 0, 2});
  expect_derivatives(7, 4, {1, 0}, {-1, -1}, {});  // on the circle: f1 = f2
}

TEST(NonsmoothProblem07, SecondPieceIsGroupedAsTheValueGroupsIt) {
  // Here -x1 - x2 + (x1^2 + x2^2 - 1) rounds to f1, while ((f1 + x1^2) + x2^2) - 1 would
  // not; the derivatives must see the tie that the value sees.
  const Vec x = {0.6, -0.8};
  EXPECT_EQ(value(7, x), -0.6 - -0.8);
  expect_derivatives(7, 4, x, {-1, -1}, {});
}

// ---------------------------------------------------------------- problems 8 and 9

TEST(NonsmoothProblem08, BoundaryBelongsToThePenalisedBranch) {
  expect_start(8, 2, {0.8, 0.6});
  EXPECT_EQ(value(8, {0.8, 0.6}), -0.8);  // t = 0 exactly
  expect_derivatives(8, 4, {0.8, 0.6}, {31, 24}, {40, 0, 40});
  EXPECT_EQ(value(8, {1, 1}), 19.0);
  expect_derivatives(8, 4, {1, 1}, {39, 40}, {40, 0, 40});
  EXPECT_EQ(value(8, {0.5, 0}), -0.5);
  expect_derivatives(8, 4, {0.5, 0}, {-1, 0}, {});
}

TEST(NonsmoothProblem08, NaNCircleTakesTheLinearBranch) {
  const Vec x = {0.5, kNaN};
  EXPECT_EQ(value(8, x), -0.5);
  expect_derivatives(8, 4, x, {-1, 0}, {});
}

TEST(NonsmoothProblem09, ZeroArgumentTakesThePositiveSign) {
  expect_start(9, 2, {-1, -1});
  EXPECT_EQ(value(9, {-1, -1}), 4.75);
  expect_derivatives(9, 4, {-1, -1}, {-8.5, -7.5}, {7.5, 0, 7.5});
  EXPECT_EQ(value(9, {0.5, 0}), -0.6875);
  expect_derivatives(9, 4, {0.5, 0}, {-0.75, 0}, {0.5, 0, 0.5});
  EXPECT_EQ(value(9, {1, 0}), -1.0);  // t = 0
  expect_derivatives(9, 4, {1, 0}, {6.5, 0}, {7.5, 0, 7.5});
  // A NaN t, whatever its sign bit, is not below 0.
  const Vec minus_nan = {1, std::copysign(kNaN, -1.0)};
  EXPECT_EQ(kbtest::nonsmooth_hessian(9, 2, minus_nan.data()), (Vec{7.5, 0, 7.5}));
}

// ---------------------------------------------------------------- problem 10

TEST(NonsmoothProblem10, RegionsAndTheirDerivatives) {
  expect_start(10, 2, {3, 2});
  const double root = std::sqrt(145.0);
  EXPECT_DOUBLE_EQ(value(10, {3, 2}), 5 * root);
  const double c = std::pow(145.0, -1.5);
  expect_derivatives(10, 4, {3, 2}, {135 / root, 160 / root}, {2880 * c, -4320 * c, 6480 * c});
  EXPECT_EQ(value(10, {2, 2}), 50.0);  // x1 = |x2|: region 2, not 1
  expect_derivatives(10, 4, {2, 2}, {9, 16}, {});
  EXPECT_EQ(value(10, {2, -2}), 50.0);
  expect_derivatives(10, 4, {2, -2}, {9, -16}, {});
  EXPECT_EQ(value(10, {0, -3}), 48.0);
  expect_derivatives(10, 4, {0, -3}, {9, -16}, {});
  EXPECT_EQ(value(10, {-1, 0}), -8.0);
  expect_derivatives(10, 4, {-1, 0}, {0, 16}, {72, 0, 0});
}

TEST(NonsmoothProblem10, SecondSlopeFollowsTheSignBitOfX2) {
  EXPECT_EQ(value(10, {0, 0.0}), 0.0);
  expect_derivatives(10, 4, {0, 0.0}, {9, 16}, {});
  expect_derivatives(10, 4, {0, -0.0}, {9, -16}, {});
}

TEST(NonsmoothProblem10, NoRegionKeepsZeroValue) {
  EXPECT_EQ(value(10, {kNaN, 1}), 0.0);
  EXPECT_EQ(value(10, {1, kNaN}), 0.0);
  EXPECT_TRUE(std::isnan(value(10, {-1, kNaN})));  // x1 <= 0 still holds: region 3
  // The derivatives only test x1 > |x2|; a failed test selects the linear regions.
  expect_derivatives(10, 4, {kNaN, 1}, {9, 16}, {});
}

// ---------------------------------------------------------------- problem 11

TEST(NonsmoothProblem11, ValuesAtNamedPoints) {
  expect_start(11, 6, {0, 0, 0, 0, 0, 0});
  const kbtest::NonsmoothSetup s = kbtest::setup_nonsmooth(11, 4);
  EXPECT_EQ(s.fmin, -1e60);
  EXPECT_EQ(value(11, {0, 0, 0, 0}), 0.0);
  EXPECT_EQ(value(11, {0, 1, 2, -1}), -44.0);
  EXPECT_EQ(value(11, {1, 1, 1, 1}), -19.0);
  EXPECT_EQ(value(11, {0, 0, 3, 1}), 3.0);      // c1 = 4
  EXPECT_EQ(value(11, {0, 3, 0, 0, 5}), 74.0);  // c2 = 8, x(5) ignored
  EXPECT_EQ(value(11, {2, 0, 0, -1}), 28.0);    // c3 = 4
}

TEST(NonsmoothProblem11, EachTermsDerivatives) {
  expect_derivatives(11, 6, {0, 0, 0, 0}, {-5, -5, -21, 7}, {2, 0, 2, 0, 0, 4, 0, 0, 0, 2});
  expect_derivatives(11, 6, {0, 0, 3, 1}, {5, -15, 61, 19}, {22, 0, 22, 0, 0, 24, 0, 0, 0, 22});
  expect_derivatives(11, 6, {0, 3, 0, 0}, {-15, 121, -21, -3}, {22, 0, 42, 0, 0, 24, 0, 0, 0, 42});
  expect_derivatives(11, 6, {2, 0, 0, -1}, {59, -15, -21, -5}, {22, 0, 22, 0, 0, 24, 0, 0, 0, 2});
}

TEST(NonsmoothProblem11, EqualTermsKeepTheEarlierChoice) {
  // c1 = c3 = 0: the zero term stays.
  expect_derivatives(11, 6, {0, 1, 2, -1}, {-5, -3, -13, 5}, {2, 0, 2, 0, 0, 4, 0, 0, 0, 2});
  // c1 = c3 = 4 > c2: c1 stays.
  expect_derivatives(11, 6, {0, 0, 3, 0}, {5, -15, 61, -3}, {22, 0, 22, 0, 0, 24, 0, 0, 0, 22});
}

// ---------------------------------------------------------------- problem 12

const double kA[10][5] = {{0, 0, 0, 0, 0}, {2, 1, 1, 1, 3}, {1, 2, 1, 1, 2}, {1, 4, 1, 2, 2},
                          {3, 2, 1, 0, 1}, {0, 2, 1, 0, 1}, {1, 1, 1, 1, 1}, {1, 0, 1, 2, 1},
                          {0, 0, 2, 1, 0}, {1, 1, 2, 0, 0}};
const double kB[10] = {1, 5, 10, 2, 4, 3, 1.7, 2.5, 6, 3.5};

const Vec kDiagonal5 = {1, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Vec scaled(Vec v, double s) {
  for (double& e : v) e *= s;
  return v;
}

TEST(NonsmoothProblem12, SetupWritesExactlyTheDataLayout) {
  const double saved = empr19[60];
  empr19[60] = kbtest::kSentinel;
  expect_start(12, 6, {0, 0, 0, 0, 1, 0});
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 5; ++j) EXPECT_EQ(empr19[5 * i + j], kA[i][j]) << i << "," << j;
    EXPECT_EQ(empr19[50 + i], kB[i]) << i;
  }
  EXPECT_EQ(empr19[60], kbtest::kSentinel);
  empr19[60] = saved;
}

TEST(NonsmoothProblem12, StartAndLargestTerm) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 6).ierr, 0);
  EXPECT_EQ(value(12, {0, 0, 0, 0, 1}), 80.0);
  EXPECT_EQ(value(12, {0, 0, 0, 0, 1, 100}), 80.0);  // x(6) has no influence
  expect_derivatives(12, 6, {0, 0, 0, 0, 1}, {-20, -40, -20, -20, -20}, scaled(kDiagonal5, 20));
  EXPECT_EQ(value(12, {1, 2, 1, 1, 2}), 60.0);  // d9
  expect_derivatives(12, 6, {1, 2, 1, 1, 2}, {12, 24, -12, 0, 24}, scaled(kDiagonal5, 12));
}

TEST(NonsmoothProblem12, EqualLargestTermsTakeTheLowerIndex) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  const Vec x = {-0.5, 2, 2.5, 0.5, 1.5};  // d2 = d5 = 60, every other term <= 50
  EXPECT_EQ(value(12, x), 60.0);
  expect_derivatives(12, 6, x, {-25, 10, 15, -5, -15}, scaled(kDiagonal5, 10));
}

TEST(NonsmoothProblem12, NaNFirstTermIsNeverLeft) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  const Vec x = {kNaN, 0, 0, 0, 0};
  EXPECT_TRUE(std::isnan(value(12, x)));
  const Vec h = kbtest::nonsmooth_hessian(12, 5, x.data());
  EXPECT_EQ(h, scaled(kDiagonal5, 2));  // 2 b(1)
}

TEST(NonsmoothProblem12, ReadsTheDataAreaAsItStands) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  empr19[52] = 1;  // b(3): d3 drops from 80 to 8, d5 = 56 leads
  const Vec x = {0, 0, 0, 0, 1};
  EXPECT_EQ(value(12, x), 56.0);
  expect_derivatives(12, 5, x, {-24, -16, -8, 0, 0}, scaled(kDiagonal5, 8));
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  EXPECT_EQ(value(12, x), 80.0);
}

// ---------------------------------------------------------------- derivative checks

struct Base {
  int iprob;
  Vec x;  // its length is the n used
};

// Starting points and, for every further piece, a point where it alone is active.
const Base kBases[] = {
    {1, {-1.2, 1}},     {2, {-1.5, 2}},      {2, {0.5, 1}},         {3, {1, -0.1}},
    {3, {2, 2}},        {3, {-1, 1}},        {4, {2, 2}},           {4, {-1, -1}},
    {4, {-1, 1}},       {5, {1, 1}},         {5, {1, 0}},           {5, {-1, 0}},
    {5, {0, 2}},        {6, {-1, 5}},        {6, {3, 3}},           {6, {1, 2}},
    {7, {-0.5, -0.5}},  {7, {2, 2}},         {8, {0.8, 0.6}},       {8, {1, 1}},
    {8, {0.5, 0}},      {9, {-1, -1}},       {9, {0.5, 0}},         {10, {3, 2}},
    {10, {1, 3}},       {10, {-1, 2}},       {11, {0, 0, 0, 0}},    {11, {0, 0, 3, 1}},
    {11, {0, 3, 0, 0}}, {11, {2, 0, 0, -1}}, {12, {0, 0, 0, 0, 1}}, {12, {1, 2, 1, 1, 2}},
};

constexpr unsigned kSeeds[] = {11, 23, 37};
constexpr double kSpread = 0.05;
constexpr double kGradientTolerance = 1e-6;
constexpr double kHessianTolerance = 1e-6;

// The piece must not change near x: moving one coordinate by +-1e-4 (relative) changes
// the gradient only as the Hessian at x predicts and the Hessian only slightly. A switch
// of piece makes one of them jump.
testing::AssertionResult piece_is_stable(int iprob, const Vec& x) {
  const int n = static_cast<int>(x.size());
  const Vec g = kbtest::nonsmooth_gradient(iprob, n, x.data());
  const Vec h = kbtest::nonsmooth_hessian(iprob, n, x.data());
  for (int j = 0; j < n; ++j) {
    for (const double sign : {-1.0, 1.0}) {
      Vec p = x;
      const double d = sign * 1e-4 * std::max(1.0, std::fabs(x[static_cast<size_t>(j)]));
      p[static_cast<size_t>(j)] += d;
      const Vec gp = kbtest::nonsmooth_gradient(iprob, n, p.data());
      const Vec hp = kbtest::nonsmooth_hessian(iprob, n, p.data());
      for (int i = 0; i < n; ++i) {
        const double hij = kbtest::packed_at(h, std::max(i, j) + 1, std::min(i, j) + 1);
        const double predicted = g[static_cast<size_t>(i)] + hij * d;
        const double scale = std::max(1.0, std::fabs(g[static_cast<size_t>(i)]));
        if (!(std::fabs(gp[static_cast<size_t>(i)] - predicted) <= 1e-5 * scale)) {
          return testing::AssertionFailure() << "gradient " << i << " jumps along " << j;
        }
      }
      for (size_t k = 0; k < h.size(); ++k) {
        if (!(std::fabs(hp[k] - h[k]) <= 1e-2 * std::max(1.0, std::fabs(h[k])))) {
          return testing::AssertionFailure() << "Hessian entry " << k << " jumps along " << j;
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

TEST(NonsmoothDerivatives01to12, MatchCentralDifferencesWherePieceIsStable) {
  double worst_g = 0;
  double worst_h = 0;
  int checked = 0;
  for (const Base& b : kBases) {
    const int n = static_cast<int>(b.x.size());
    ASSERT_EQ(kbtest::setup_nonsmooth(b.iprob, n).ierr, 0);
    for (const unsigned seed : kSeeds) {
      const Vec x = kinkbench::check::nearby_point(b.x, seed, kSpread);
      SCOPED_TRACE(testing::Message() << "problem " << b.iprob << " seed " << seed << " near ("
                                      << b.x[0] << ", " << b.x[1] << ", ...)");
      ASSERT_TRUE(piece_is_stable(b.iprob, x));
      const double eg = kbtest::nonsmooth_gradient_error(b.iprob, n, x.data()).error;
      const double eh = kbtest::nonsmooth_hessian_error(b.iprob, n, x.data()).error;
      EXPECT_LE(eg, kGradientTolerance);
      EXPECT_LE(eh, kHessianTolerance);
      worst_g = std::max(worst_g, eg);
      worst_h = std::max(worst_h, eh);
      ++checked;
    }
  }
  std::printf("[ derivatives ] %d points, worst gradient error %.3g, worst Hessian error %.3g\n",
              checked, worst_g, worst_h);
}

// The stability test must itself see a switch, or it proves nothing: problem 8's start
// lies on its kink.
TEST(NonsmoothDerivatives01to12, StabilityTestSeesAKink) {
  EXPECT_FALSE(piece_is_stable(8, {0.8, 0.6}));
  EXPECT_FALSE(piece_is_stable(10, {2, 2}));
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  EXPECT_FALSE(piece_is_stable(12, {-0.5, 2, 2.5, 0.5, 1.5}));
}

}  // namespace
